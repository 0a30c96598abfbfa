#include "SmtpClient.h"

#include "MimeMessage.h"
#include "ZlkSupport.h"

#include <curl/curl.h>
#include <mutex>

namespace zlk {

namespace {

struct Transfer
{
    MimeMessage* message;
    std::string lastRefusal; // the server's last 4xx or 5xx reply line
};

size_t readMessage(char* buffer, size_t size, size_t count, void* userData)
{
    auto* transfer = static_cast<Transfer*>(userData);
    const size_t n = transfer->message->read(buffer, size * count);
    return transfer->message->failed() ? CURL_READFUNC_ABORT : n;
}

int watchReplies(CURL*, curl_infotype type, char* data, size_t size, void* userData)
{
    if (type == CURLINFO_HEADER_IN) {
        std::string line(data, size);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        if (!line.empty() && (line[0] == '4' || line[0] == '5'))
            static_cast<Transfer*>(userData)->lastRefusal = line;
    }
    return 0;
}

std::string describe(CURLcode code, const char* detail, long osError, const std::string& refusal,
                     const MailSettings& settings)
{
    std::string reason;
    switch (code) {
    case CURLE_COULDNT_CONNECT:
        reason = "cannot connect to the mail server " + settings.displayUrl();
        if (osError != 0) // libcurl's own text does not say why
            reason += ": " + errnoText(int(osError));
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
        reason = "unknown mail server host in " + settings.displayUrl();
        break;
    case CURLE_OPERATION_TIMEDOUT:
        reason = "timed out: the mail server " + settings.displayUrl() + " did not answer in time";
        break;
    case CURLE_LOGIN_DENIED:
        reason = "authentication failed for user '" + settings.user + "'";
        break;
    case CURLE_USE_SSL_FAILED:
        if (settings.needsStartTls())
            reason = "the mail server " + settings.displayUrl() +
                     " does not offer STARTTLS, and the user name and password are never sent "
                     "unencrypted to another machine: set Security=tls (or a server that "
                     "offers STARTTLS) in the [Mail] section of zlk.ini";
        else
            reason = "the mail server does not offer STARTTLS";
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
        reason = "TLS with the mail server failed";
        break;
    default:
        if (std::string(detail).rfind("RCPT", 0) == 0)
            reason = "recipient rejected by the mail server";
        else if (std::string(detail).rfind("MAIL", 0) == 0)
            reason = "the mail server refused the sender " + settings.fromAddress;
        else if (!refusal.empty()) // refused after DATA: too large, spam, policy...
            reason = "the mail server refused the message";
        else
            reason = std::string("mail not sent: ") + curl_easy_strerror(code);
        break;
    }
    if (*detail)
        reason += std::string(" (") + detail + ')';
    if (!refusal.empty())
        reason += "; server said: " + refusal;
    return settings.withoutSecrets(reason);
}

} // namespace

SmtpClient::SmtpClient(const MailSettings& settings) : m_settings(settings) {}

bool SmtpClient::send(const std::vector<std::string>& recipients, MimeMessage& message,
                      std::string& error)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    CURL* curl = curl_easy_init();
    if (!curl) {
        error = "cannot start a mail transfer (libcurl)";
        return false;
    }
    Transfer transfer{&message, {}};
    char detail[CURL_ERROR_SIZE] = {};
    curl_slist* rcpt = nullptr;
    for (const std::string& recipient : recipients)
        rcpt = curl_slist_append(rcpt, ('<' + recipient + '>').c_str());
    const std::string mailFrom = '<' + m_settings.fromAddress + '>';

    curl_easy_setopt(curl, CURLOPT_URL, m_settings.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(curl, CURLOPT_MAIL_FROM, mailFrom.c_str());
    curl_easy_setopt(curl, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, readMessage);
    curl_easy_setopt(curl, CURLOPT_READDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, m_settings.connectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, m_settings.timeoutSeconds);
    // The debug callback only watches the server's replies for the error text.
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, watchReplies);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    // Credentials for another machine go only over TLS: STARTTLS is demanded
    // and the transfer fails before AUTH when the server does not offer it.
    if (m_settings.security != MailSettings::Security::None || m_settings.needsStartTls())
        curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
    if (!m_settings.verifyCertificate) {
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    if (!m_settings.user.empty()) {
        curl_easy_setopt(curl, CURLOPT_USERNAME, m_settings.user.c_str());
        curl_easy_setopt(curl, CURLOPT_PASSWORD, m_settings.password.c_str());
    }

    const CURLcode result = curl_easy_perform(curl);
    long osError = 0;
    curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osError);
    curl_slist_free_all(rcpt);
    curl_easy_cleanup(curl);
    if (message.failed()) {
        error = message.readError();
        return false;
    }
    if (result != CURLE_OK) {
        error = describe(result, detail, osError, transfer.lastRefusal, m_settings);
        return false;
    }
    return true;
}

} // namespace zlk
