#ifndef SMTPCLIENT_H
#define SMTPCLIENT_H

#include "MailSettings.h"

#include <string>
#include <vector>

namespace zlk {

class MimeMessage;

// Submits one message over SMTP with libcurl, within the settings' timeouts.
class SmtpClient
{
public:
    explicit SmtpClient(const MailSettings& settings);

    // True only when the server accepted the message; otherwise error says why
    // (with the server's last reply when there was one).
    bool send(const std::vector<std::string>& recipients, MimeMessage& message, std::string& error);

private:
    MailSettings m_settings;
};

} // namespace zlk

#endif // SMTPCLIENT_H
