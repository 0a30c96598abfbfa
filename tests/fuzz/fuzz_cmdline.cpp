// One command line as a scheduler passes it. A line is either invalid or sets
// options that print back to a line setting the same; a line with an
// unterminated quote is invalid.
#include "CommandLinePrinter.h"
#include "FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 2000)
        return -1;
    const QString line = fuzzText(data, size);
    // /@FILE reads and deletes files; its own target runs it in a private folder.
    if (line.contains(QLatin1Char('@')))
        return -1;

    const ParsedLine parsed = parseLine(line);
    if (!parsed.accepted)
        return 0;
    FUZZ_CHECK(line.count(QLatin1Char('"')) % 2 == 0, QStringLiteral("unterminated quote: ") + line);
    const auto printed = printLine(parsed);
    if (!printed)
        return 0;
    const ParsedLine again = parseLine(*printed);
    const QString difference = differenceBetween(parsed, again);
    FUZZ_CHECK(difference.isEmpty(),
               QStringLiteral("%1\n  printed: %2\n  %3").arg(line, *printed, difference));
    return 0;
}
