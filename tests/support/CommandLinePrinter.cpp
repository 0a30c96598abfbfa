#include "CommandLinePrinter.h"

#include "AppState.h"
#include "CommandLine.h"

#include <QHash>
#include <QVariant>

namespace {

const QString defaultRoot = QStringLiteral("/fuzz-root/");

// The value a keyword sets.
QString fieldOf(const ParsedLine& p, const QString& keyword)
{
    static const QHash<QString, QString RunOptions::*> fields = {
        {"SORTBY1", &RunOptions::SortBy1}, {"SORTBY2", &RunOptions::SortBy2},
        {"SORTBY3", &RunOptions::SortBy3}, {"SUBJECT", &RunOptions::Subject},
        {"QUERY", &RunOptions::Query},     {"EMAIL", &RunOptions::Address},
        {"FILE", &RunOptions::Address},    {"SPAN_START", &RunOptions::SpanStart}};
    if (keyword == QLatin1String("SYSTEM"))
        return p.installRoot;
    return p.options.*fields.value(keyword, &RunOptions::SpanEnd);
}

// The value written bare, or else quoted, whichever reads back alone.
// A value with an odd number of quotes (a quote opened before the keyword's
// blank, as in /SYSTEM!"/a b") has no such form.
std::optional<QString> valueForm(const QString& keyword, const QString& value)
{
    const QString before =
        keyword == QLatin1String("SPAN_END") ? QStringLiteral("/SPAN_START x ") : QString();
    // A form with an odd number of quotes would open a quote for the rest of the line.
    if (value.count(QLatin1Char('"')) % 2 != 0)
        return std::nullopt;
    for (const QString& form : {value, QLatin1Char('"') + value + QLatin1Char('"')}) {
        const QString token = QLatin1Char('/') + keyword + QLatin1Char(' ') + form;
        const ParsedLine alone = parseLine(before + token);
        if (alone.accepted && fieldOf(alone, keyword) == value)
            return token;
    }
    return std::nullopt;
}

} // namespace

ParsedLine parseLine(const QString& text)
{
    DebugMode = false;
    UnattendedMode = false;
    HtmlOutput = false;
    InstallRoot = defaultRoot;
    RunOptions options;
    const bool accepted = ParseCommandLine(text, options);
    return parsedNow(accepted, options);
}

ParsedLine parsedNow(bool accepted, const RunOptions& options)
{
    return {accepted, options, DebugMode, UnattendedMode, HtmlOutput, InstallRoot};
}

QStringList valuesOf(const ParsedLine& p)
{
    const RunOptions& o = p.options;
    return {p.installRoot, o.SortBy1, o.SortBy2,   o.SortBy3, o.Subject,
            o.Query,       o.Address, o.SpanStart, o.SpanEnd};
}

QString describe(const ParsedLine& p)
{
    const RunOptions& o = p.options;
    const RunOptions d;
    // clang-format off
    const QList<std::tuple<const char*, QVariant, QVariant>> fields = {
        {"Destination", o.Destination, d.Destination}, {"Address", o.Address, d.Address},
        {"Status", o.Status, d.Status}, {"Warning", o.Warning, d.Warning},
        {"Error", o.Error, d.Error}, {"Fatal", o.Fatal, d.Fatal},
        {"AgeMode", o.AgeMode, d.AgeMode}, {"Days", o.Days, d.Days},
        {"SpanStart", o.SpanStart, d.SpanStart}, {"SpanEnd", o.SpanEnd, d.SpanEnd},
        {"Delete", o.Delete, d.Delete}, {"Subject", o.Subject, d.Subject},
        {"AttachAtSize", o.AttachAtSize, d.AttachAtSize}, {"ZipAtSize", o.ZipAtSize, d.ZipAtSize},
        {"AbortAttachAtSize", o.AbortAttachAtSize, d.AbortAttachAtSize},
        {"SortBy1", o.SortBy1, d.SortBy1}, {"SortBy2", o.SortBy2, d.SortBy2},
        {"SortBy3", o.SortBy3, d.SortBy3}, {"Query", o.Query, d.Query},
        {"Summary", o.Summary, d.Summary}, {"Detail", o.Detail, d.Detail},
        {"Debug", p.debug, false}, {"Unattended", p.unattended, false},
        {"Html", p.html, false}, {"InstallRoot", p.installRoot, QString()}};
    // clang-format on
    QStringList parts;
    for (const auto& [name, value, normal] : fields) {
        if (value == normal)
            continue;
        if (value.typeId() == QMetaType::Bool)
            parts << (value.toBool() ? "" : "No") + QString::fromLatin1(name);
        else
            parts << QString::fromLatin1(name) + QLatin1Char('=') + value.toString();
    }
    return parts.join(QLatin1Char(' '));
}

QString differenceBetween(const ParsedLine& a, const ParsedLine& b)
{
    const QString left = QString::number(a.accepted) + QLatin1Char(' ') + describe(a);
    const QString right = QString::number(b.accepted) + QLatin1Char(' ') + describe(b);
    return left == right ? QString() : QStringLiteral("[%1] vs [%2]").arg(left, right);
}

std::optional<QString> printLine(const ParsedLine& p)
{
    const RunOptions& o = p.options;
    const RunOptions defaults;
    QStringList tokens;
    bool printable = true;
    const auto value = [&](const char* keyword, const QString& v) {
        const auto token = valueForm(QLatin1String(keyword), v);
        printable = printable && token.has_value();
        if (token)
            tokens << *token;
    };
    const auto flag = [&](bool set, const char* keyword) {
        if (set)
            tokens << QLatin1Char('/') + QLatin1String(keyword);
    };
    const auto number = [&](bool set, const char* keyword, qint64 v) {
        if (set)
            tokens << QStringLiteral("/%1 %2").arg(QLatin1String(keyword)).arg(v);
    };

    flag(p.debug, "DEBUG");
    if (p.installRoot != (p.debug ? QStringLiteral("/opt/dorvu/Velmora/") : defaultRoot))
        value("SYSTEM", p.installRoot);
    for (const char* keyword : {"SORTBY1", "SORTBY2", "SORTBY3", "SUBJECT", "QUERY"})
        if (fieldOf(p, QLatin1String(keyword)) != fieldOf(ParsedLine(), QLatin1String(keyword)))
            value(keyword, fieldOf(p, QLatin1String(keyword)));
    flag(o.Destination == 0, "PRINT");
    if (o.Destination == 2)
        value("EMAIL", o.Address);
    if (o.Destination == 3)
        value("FILE", o.Address);
    flag(p.html, "HTML");
    flag(p.unattended, "UNATTENDED");
    flag(o.Summary, "SUMMARY");
    flag(o.Delete, "DELETE");
    flag(o.Status, "STATUS");
    flag(o.Warning, "WARNING");
    flag(o.Error, "ERROR");
    flag(o.Fatal, "FATAL");
    flag(!o.Detail, "NODETAIL");
    number(o.AgeMode == 2, "UNDER", o.Days);
    number(o.AgeMode == 1, "OVER", o.Days);
    if (o.AgeMode == 3) {
        value("SPAN_START", o.SpanStart);
        if (!o.SpanEnd.isEmpty())
            value("SPAN_END", o.SpanEnd);
    }
    number(o.AttachAtSize != defaults.AttachAtSize, "ATTACH_OVER", o.AttachAtSize);
    number(o.ZipAtSize != defaults.ZipAtSize, "ZIP_OVER", o.ZipAtSize);
    number(o.AbortAttachAtSize != defaults.AbortAttachAtSize, "ABORT_ATTACH_OVER",
           o.AbortAttachAtSize);
    if (!printable)
        return std::nullopt;
    return tokens.join(QLatin1Char(' '));
}
