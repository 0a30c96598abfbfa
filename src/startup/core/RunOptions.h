#pragma once

#include <QString>

#include <cstdint>

// The values of one unattended report, as the command line sets them.
// Defaults are those of a run without any keyword; start-up fills the three
// size thresholds from the settings before parsing.
struct RunOptions
{
    int16_t Destination = -1; // 0 print, 2 mail, 3 text file, -1 none, other: preview
    bool Status = false;
    bool Warning = false;
    bool Error = false;
    bool Fatal = false;
    int16_t AgeMode = 0; // 1 older than Days, 2 newer than Days, 3 span
    int16_t Days = 0;
    QString SpanStart; // today's date as text unless given
    QString SpanEnd;
    bool Delete = false;
    QString Address;
    QString Subject;
    int32_t AttachAtSize = 1000;
    int32_t ZipAtSize = 100000;
    int32_t AbortAttachAtSize = 500000;
    QString SortBy1 = QStringLiteral("When");
    QString SortBy2 = QStringLiteral("User");
    QString SortBy3 = QStringLiteral("AutoIndex");
    QString Query;
    bool Summary = false;
    bool Detail = true;
};
