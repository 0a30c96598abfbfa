#ifndef MAILSETTINGS_H
#define MAILSETTINGS_H

#include <string>
#include <string_view>

namespace zlk {

class IniFile;

// How to reach the mail server: the [Mail] section of zlk.ini, with the
// server replaced by ZLK_SMTP_URL when that is set (keys: see zlk.h).
struct MailSettings
{
    enum class Security
    {
        None,
        StartTls,
        Tls
    };

    std::string url; // smtp://host:port or smtps://host:port, as libcurl takes it
    Security security = Security::None;
    std::string user;
    std::string password;
    std::string fromAddress;
    long connectTimeoutSeconds = 15;
    long timeoutSeconds = 120;
    bool verifyCertificate = true;

    // False with a reason when the settings are missing or make no sense.
    bool load(const IniFile& ini, const char* environmentUrl, std::string& error);

    // The URL as error texts show it: a password in it replaced by "***".
    std::string displayUrl() const { return withoutPassword(url); }
    static std::string withoutPassword(std::string_view url);
    // The text with the URL's password and Password replaced by "***".
    std::string withoutSecrets(std::string text) const;
    // Whether a user name or password goes to the server (from User and
    // Password, or from the URL itself).
    bool sendsCredentials() const;
    // Whether the server's host is this machine (localhost, 127.0.0.0/8, ::1).
    bool serverIsLoopback() const;
    // Credentials go to another host over a connection without TLS unless
    // STARTTLS is demanded: then they must be (see SmtpClient).
    bool needsStartTls() const
    {
        return security == Security::None && sendsCredentials() && !serverIsLoopback();
    }
};

} // namespace zlk

#endif // MAILSETTINGS_H
