#ifndef MAILSETTINGS_H
#define MAILSETTINGS_H

#include <string>

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
};

} // namespace zlk

#endif // MAILSETTINGS_H
