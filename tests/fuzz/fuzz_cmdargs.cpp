// The program's arguments as a shell passes them, one per line of the input
// (a line alone: a whole command line as a scheduler passes it). An argument
// that is exactly a keyword acts as that keyword and is never the value of the
// one before; a line with an unterminated quote is invalid; an accepted line
// prints back to a line setting the same.
#include "CommandLine.h"
#include "CommandLinePrinter.h"
#include "FuzzCheck.h"

#include <QHash>

#include <functional>

namespace {

// Whether the keyword's effect shows in what the line set.
bool effectShows(const QString& keyword, const ParsedLine& p)
{
    static const QHash<QString, std::function<bool(const ParsedLine&)>> effects = {
        {QStringLiteral("DEBUG"), [](const ParsedLine& q) { return q.debug; }},
        {QStringLiteral("UNATTENDED"), [](const ParsedLine& q) { return q.unattended; }},
        {QStringLiteral("HTML"), [](const ParsedLine& q) { return q.html; }},
        {QStringLiteral("DELETE"), [](const ParsedLine& q) { return q.options.Delete; }},
        {QStringLiteral("STATUS"), [](const ParsedLine& q) { return q.options.Status; }},
        {QStringLiteral("WARNING"), [](const ParsedLine& q) { return q.options.Warning; }},
        {QStringLiteral("ERROR"), [](const ParsedLine& q) { return q.options.Error; }},
        {QStringLiteral("FATAL"), [](const ParsedLine& q) { return q.options.Fatal; }},
        {QStringLiteral("SUMMARY"), [](const ParsedLine& q) { return q.options.Summary; }},
        {QStringLiteral("NODETAIL"), [](const ParsedLine& q) { return !q.options.Detail; }},
        {QStringLiteral("PRINT"), [](const ParsedLine& q) { return q.options.Destination == 0; }},
    };
    const auto effect = effects.constFind(keyword);
    return effect == effects.constEnd() || (*effect)(p);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 2000)
        return -1;
    const QString text = fuzzText(data, size);
    if (text.contains(QLatin1Char('@')))
        return -1;
    const QStringList arguments = text.split(QLatin1Char('\n'));
    if (arguments.size() > 16)
        return -1;

    bool quotesClosed = true;
    const QString line = CommandLineFromArguments(arguments, &quotesClosed);
    const ParsedLine parsed = parseLine(line);
    FUZZ_CHECK(!parsed.accepted || line.count(QLatin1Char('"')) % 2 == 0,
               QStringLiteral("unterminated quote: ") + line);
    if (!quotesClosed || !parsed.accepted)
        return 0;

    const QStringList values = valuesOf(parsed);
    for (const QString& argument : arguments) {
        const QString keyword = argument.mid(1).toUpper();
        if (!argument.startsWith(QLatin1Char('/')) || !CommandLineKeywords().contains(keyword))
            continue;
        FUZZ_CHECK(!values.contains(argument) && effectShows(keyword, parsed),
                   QStringLiteral("keyword %1 taken as a value in: %2").arg(argument, line));
    }

    const auto printed = printLine(parsed);
    if (!printed)
        return 0;
    const QString difference = differenceBetween(parsed, parseLine(*printed));
    FUZZ_CHECK(difference.isEmpty(),
               QStringLiteral("%1\n  printed: %2\n  %3").arg(line, *printed, difference));
    return 0;
}
