#include "CommandLine.h"

#include "AppState.h"
#include "ZlkApi.h"

#include <QFile>
#include <cstdint>
#include <limits>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The buffer size of an argument file: longer files are cut there.
constexpr int ArgumentFileChars = 1000;
// Argument files are deleted only once the whole line is accepted, so a file
// naming itself would be read for ever without this bound.
constexpr int MaxArgumentFiles = 32;

// The argument files the last parse read: name, device and inode as read.
struct ArgumentFileRead
{
    QString name;
    dev_t device;
    ino_t inode;
};
QList<ArgumentFileRead> argumentFilesRead;

const QStringList valueKeywords = {QStringLiteral("@FILE"),    QStringLiteral("SYSTEM"),
                                   QStringLiteral("SORTBY1"),  QStringLiteral("SORTBY2"),
                                   QStringLiteral("SORTBY3"),  QStringLiteral("SUBJECT"),
                                   QStringLiteral("QUERY"),    QStringLiteral("EMAIL"),
                                   QStringLiteral("FILE"),     QStringLiteral("UNDER"),
                                   QStringLiteral("OVER"),     QStringLiteral("SPAN_START"),
                                   QStringLiteral("SPAN_END"), QStringLiteral("ATTACH_OVER"),
                                   QStringLiteral("ZIP_OVER"), QStringLiteral("ABORT_ATTACH_OVER")};

// A whole number within the range of T, or nothing.
template <typename T> std::optional<T> wholeNumber(const QString& text)
{
    bool ok = false;
    const qlonglong value = text.trimmed().toLongLong(&ok);
    if (!ok || value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
        return std::nullopt;
    return static_cast<T>(value);
}

QString spanValue(QString value)
{
    value.replace(QLatin1Char('\\'), QLatin1Char('/'));
    value.replace(QLatin1Char('_'), QLatin1Char(' '));
    return value;
}

} // namespace

const QStringList& CommandLineKeywords()
{
    static const QStringList keywords = {QStringLiteral("@FILE"),
                                         QStringLiteral("DEBUG"),
                                         QStringLiteral("SYSTEM"),
                                         QStringLiteral("SORTBY1"),
                                         QStringLiteral("SORTBY2"),
                                         QStringLiteral("SORTBY3"),
                                         QStringLiteral("SUBJECT"),
                                         QStringLiteral("QUERY"),
                                         QStringLiteral("PRINT"),
                                         QStringLiteral("EMAIL"),
                                         QStringLiteral("FILE"),
                                         QStringLiteral("HTML"),
                                         QStringLiteral("UNATTENDED"),
                                         QStringLiteral("SUMMARY"),
                                         QStringLiteral("DELETE"),
                                         QStringLiteral("STATUS"),
                                         QStringLiteral("WARNING"),
                                         QStringLiteral("ERROR"),
                                         QStringLiteral("FATAL"),
                                         QStringLiteral("NODETAIL"),
                                         QStringLiteral("UNDER"),
                                         QStringLiteral("OVER"),
                                         QStringLiteral("SPAN_START"),
                                         QStringLiteral("SPAN_END"),
                                         QStringLiteral("ATTACH_OVER"),
                                         QStringLiteral("ZIP_OVER"),
                                         QStringLiteral("ABORT_ATTACH_OVER")};
    return keywords;
}

bool KeywordTakesValue(const QString& keyword)
{
    return valueKeywords.contains(keyword);
}

QString KeywordOfToken(const QString& token)
{
    const QString key = token.trimmed().toUpper();
    if (key.isEmpty())
        return QString();
    for (const QString& keyword : CommandLineKeywords())
        if (key.startsWith(keyword))
            return keyword;
    return QString();
}

bool IsKeywordArgument(const QString& argument)
{
    const QString text = argument.trimmed();
    return text.startsWith(QLatin1Char('/')) &&
           CommandLineKeywords().contains(text.mid(1).toUpper());
}

QStringList SplitCommandLine(const QString& text, bool* quotesClosed)
{
    QStringList parts;
    QString current;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (c == QLatin1Char('/') && !quoted) {
            parts.append(current);
            current.clear();
        } else {
            current += c;
        }
    }
    parts.append(current);
    if (quotesClosed)
        *quotesClosed = !quoted;
    return parts;
}

bool GetKeywordValue(const QString& token, QString& value)
{
    const qsizetype blank = token.indexOf(QLatin1Char(' '));
    value = blank < 0 ? QString() : token.mid(blank).trimmed();
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        value = value.mid(1, value.size() - 2);
    return !value.isEmpty();
}

bool ParseCommandLine(const QString& text, RunOptions& options)
{
    HtmlOutput = false;
    options.Summary = false;

    argumentFilesRead.clear();
    bool quotesClosed = true;
    QStringList tokens = SplitCommandLine(text, &quotesClosed).mid(1);
    // An open quote would swallow the rest of the line as one value.
    if (!quotesClosed)
        return false;
    int destinations = 0;
    int ages = 0;
    int argumentFiles = 0;

    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QString& token = tokens.at(i);
        const QString keyword = KeywordOfToken(token);
        if (keyword.isEmpty())
            return false;
        QString value;
        if (KeywordTakesValue(keyword) && !GetKeywordValue(token, value))
            return false;

        if (keyword == QLatin1String("@FILE")) {
            // The file's text replaces the rest of the line. Only a regular file
            // is read (a FIFO or a device would block or never end).
            if (++argumentFiles > MaxArgumentFiles)
                return false;
            struct stat before = {};
            if (::stat(QFile::encodeName(value).constData(), &before) != 0 ||
                !S_ISREG(before.st_mode))
                return false;
            QString data;
            QString error;
            const int read = Zlk::readFile(value, ArgumentFileChars, data, error);
            if (read <= 0)
                return false;
            argumentFilesRead.append({value, before.st_dev, before.st_ino});
            tokens = SplitCommandLine(data.left(read), &quotesClosed).mid(1);
            if (!quotesClosed)
                return false;
            i = -1;
        } else if (keyword == QLatin1String("DEBUG")) {
            DebugMode = true;
            InstallRoot = QStringLiteral("/opt/dorvu/Velmora/");
        } else if (keyword == QLatin1String("SYSTEM")) {
            InstallRoot = value;
        } else if (keyword == QLatin1String("SORTBY1")) {
            options.SortBy1 = value;
        } else if (keyword == QLatin1String("SORTBY2")) {
            options.SortBy2 = value;
        } else if (keyword == QLatin1String("SORTBY3")) {
            options.SortBy3 = value;
        } else if (keyword == QLatin1String("SUBJECT")) {
            options.Subject = value;
        } else if (keyword == QLatin1String("QUERY")) {
            options.Query = value;
        } else if (keyword == QLatin1String("PRINT") || keyword == QLatin1String("EMAIL") ||
                   keyword == QLatin1String("FILE")) {
            if (++destinations > 1)
                return false;
            if (keyword == QLatin1String("PRINT")) {
                options.Destination = 0;
            } else {
                options.Destination = keyword == QLatin1String("EMAIL") ? 2 : 3;
                options.Address = value;
            }
        } else if (keyword == QLatin1String("HTML")) {
            HtmlOutput = true;
        } else if (keyword == QLatin1String("UNATTENDED")) {
            UnattendedMode = true;
        } else if (keyword == QLatin1String("SUMMARY")) {
            options.Summary = true;
        } else if (keyword == QLatin1String("DELETE")) {
            options.Delete = true;
        } else if (keyword == QLatin1String("STATUS")) {
            options.Status = true;
        } else if (keyword == QLatin1String("WARNING")) {
            options.Warning = true;
        } else if (keyword == QLatin1String("ERROR")) {
            options.Error = true;
        } else if (keyword == QLatin1String("FATAL")) {
            options.Fatal = true;
        } else if (keyword == QLatin1String("NODETAIL")) {
            options.Detail = false;
        } else if (keyword == QLatin1String("UNDER") || keyword == QLatin1String("OVER")) {
            // Only as the first of the four age keywords.
            if (ages++ != 0)
                return false;
            const auto days = wholeNumber<int16_t>(value);
            if (!days)
                return false;
            options.Days = *days;
            options.AgeMode = keyword == QLatin1String("UNDER") ? 2 : 1;
        } else if (keyword == QLatin1String("SPAN_START")) {
            if (ages++ != 0)
                return false;
            options.SpanStart = spanValue(value);
            options.AgeMode = 3;
        } else if (keyword == QLatin1String("SPAN_END")) {
            // Only as the second of the four age keywords.
            if (ages++ != 1)
                return false;
            options.SpanEnd = spanValue(value);
            options.AgeMode = 3;
        } else {
            const auto bytes = wholeNumber<int32_t>(value);
            if (!bytes)
                return false;
            if (keyword == QLatin1String("ATTACH_OVER"))
                options.AttachAtSize = *bytes;
            else if (keyword == QLatin1String("ZIP_OVER"))
                options.ZipAtSize = *bytes;
            else
                options.AbortAttachAtSize = *bytes;
        }
    }
    return true;
}

void UseUpArgumentFiles()
{
    // Only the file that was read, still a regular file (not a link put in its
    // place) and owned by whoever runs the program.
    for (const ArgumentFileRead& file : std::as_const(argumentFilesRead)) {
        const QByteArray name = QFile::encodeName(file.name);
        struct stat now = {};
        if (::lstat(name.constData(), &now) == 0 && S_ISREG(now.st_mode) &&
            now.st_uid == ::geteuid() && now.st_dev == file.device && now.st_ino == file.inode)
            ::unlink(name.constData());
    }
    argumentFilesRead.clear();
}

QString CommandLineFromArguments(const QStringList& arguments, bool* quotesClosed)
{
    QString line;
    bool valueExpected = false;
    if (quotesClosed)
        *quotesClosed = true;
    for (const QString& argument : arguments) {
        if (quotesClosed && argument.count(QLatin1Char('"')) % 2 != 0)
            *quotesClosed = false;
        if (!line.isEmpty())
            line += QLatin1Char(' ');
        // A keyword standing alone is never the value of the one before it:
        // that one then has no value and the line is invalid.
        if (valueExpected && !IsKeywordArgument(argument)) {
            const bool quote = argument.contains(QLatin1Char('/')) &&
                               !(argument.startsWith(QLatin1Char('"')) &&
                                 argument.endsWith(QLatin1Char('"')) && argument.size() >= 2);
            line += quote ? QLatin1Char('"') + argument + QLatin1Char('"') : argument;
            valueExpected = false;
            continue;
        }
        line += argument;
        // A keyword that takes a value and has none expects it in the next argument.
        const QString last = SplitCommandLine(argument).last();
        QString value;
        valueExpected = argument.contains(QLatin1Char('/')) &&
                        KeywordTakesValue(KeywordOfToken(last)) && !GetKeywordValue(last, value);
    }
    return line;
}
