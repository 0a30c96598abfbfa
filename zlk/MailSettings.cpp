#include "MailSettings.h"

#include "IniFile.h"
#include "ZlkSupport.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <unistd.h>

namespace zlk {

namespace {

constexpr const char* Section = "Mail";

std::string lower(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

std::string setting(const IniFile& ini, const char* key)
{
    return ini.value(Section, key).value_or(std::string());
}

// A whole number from first to last, or false with a reason.
bool number(const IniFile& ini, const char* key, long first, long last, long& result,
            std::string& error)
{
    const std::string text = setting(ini, key);
    if (text.empty())
        return true;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || value < first || value > last) {
        error = "[Mail] " + std::string(key) + "=" + text + " is not a whole number from " +
                std::to_string(first) + " to " + std::to_string(last);
        return false;
    }
    result = value;
    return true;
}

std::string hostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || !*name)
        return "localhost";
    return name;
}

} // namespace

bool MailSettings::load(const IniFile& ini, const char* environmentUrl, std::string& error)
{
    const std::string securityText = lower(setting(ini, "Security"));
    if (securityText.empty() || securityText == "none")
        security = Security::None;
    else if (securityText == "starttls")
        security = Security::StartTls;
    else if (securityText == "tls")
        security = Security::Tls;
    else {
        error =
            "[Mail] Security=" + setting(ini, "Security") + " is not one of none, starttls, tls";
        return false;
    }

    long port = security == Security::Tls ? 465 : security == Security::StartTls ? 587 : 25;
    if (!number(ini, "Port", 1, 65535, port, error) ||
        !number(ini, "ConnectTimeout", 1, 3600, connectTimeoutSeconds, error) ||
        !number(ini, "Timeout", 1, 86400, timeoutSeconds, error))
        return false;

    const std::string verify = lower(setting(ini, "VerifyCertificate"));
    verifyCertificate = !(verify == "no" || verify == "false" || verify == "0");
    user = setting(ini, "User");
    password = setting(ini, "Password");
    fromAddress = setting(ini, "FromAddress");
    if (fromAddress.empty())
        fromAddress = "auditlog@" + hostName();

    const std::string_view override = trimmed(argument(environmentUrl));
    if (!override.empty()) {
        const std::string scheme = lower(override.substr(0, override.find("://")));
        if (override.find("://") == std::string_view::npos ||
            (scheme != "smtp" && scheme != "smtps")) {
            error = "ZLK_SMTP_URL=" + withoutPassword(override) +
                    " is not an smtp:// or smtps:// address";
            return false;
        }
        url = std::string(override);
        security = scheme == "smtps" ? Security::Tls : Security::None;
        return true;
    }

    std::string server(trimmed(setting(ini, "Server")));
    if (server.empty()) {
        error = "no mail server is set: give Server in the [Mail] section of zlk.ini or "
                "set ZLK_SMTP_URL";
        return false;
    }
    const size_t colons = size_t(std::count(server.begin(), server.end(), ':'));
    if (colons == 1 && server.front() != '[') {
        error = "[Mail] Server=" + server + " holds a port; give the port as Port";
        return false;
    }
    if (colons > 1 && server.front() != '[')
        server = '[' + server + ']'; // an IPv6 address
    url = std::string(security == Security::Tls ? "smtps://" : "smtp://") + server + ':' +
          std::to_string(port);
    return true;
}

namespace {

// The part of a URL between "://" and the next "/", "?" or "#".
std::string_view authorityOf(std::string_view url)
{
    const size_t scheme = url.find("://");
    std::string_view rest = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
    return rest.substr(0, rest.find_first_of("/?#"));
}

} // namespace

std::string MailSettings::withoutPassword(std::string_view url)
{
    const std::string_view authority = authorityOf(url);
    const size_t at = authority.rfind('@');
    if (at == std::string_view::npos)
        return std::string(url);
    const size_t colon = authority.substr(0, at).find(':');
    if (colon == std::string_view::npos)
        return std::string(url);
    const size_t start = size_t(authority.data() - url.data()) + colon + 1;
    const size_t end = size_t(authority.data() - url.data()) + at;
    return std::string(url.substr(0, start)) + "***" + std::string(url.substr(end));
}

std::string MailSettings::withoutSecrets(std::string text) const
{
    const std::string_view authority = authorityOf(url);
    const size_t at = authority.rfind('@');
    const std::string_view userInfo =
        at == std::string_view::npos ? std::string_view() : authority.substr(0, at);
    const size_t colon = userInfo.find(':');
    const std::string urlPassword(colon == std::string_view::npos ? std::string_view()
                                                                  : userInfo.substr(colon + 1));
    for (const std::string& secret : {urlPassword, password}) {
        if (secret.empty())
            continue;
        for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3))
            text.replace(at, secret.size(), "***");
    }
    return text;
}

bool MailSettings::sendsCredentials() const
{
    return !user.empty() || !password.empty() ||
           authorityOf(url).find('@') != std::string_view::npos;
}

bool MailSettings::serverIsLoopback() const
{
    std::string_view host = authorityOf(url);
    if (const size_t at = host.rfind('@'); at != std::string_view::npos)
        host = host.substr(at + 1);
    if (!host.empty() && host.front() == '[')
        host = host.substr(1, host.find(']') - 1);
    else
        host = host.substr(0, host.find(':'));
    const std::string name = lower(host);
    return name == "localhost" || name == "::1" || name.rfind("127.", 0) == 0;
}

} // namespace zlk
