#ifndef HTMLROWSCANNER_H
#define HTMLROWSCANNER_H

#include <string>

namespace zlk {

// Tells whether an HTML report holds report rows: the HTML renderer marks each
// row with class="report-row". The file is read in blocks, so its size does
// not matter to memory.
class HtmlRowScanner
{
public:
    static constexpr const char* RowMarker = "class=\"report-row\"";

    // False when the marker does not occur or the file cannot be read.
    static bool hasReportRows(const std::string& path);
};

} // namespace zlk

#endif // HTMLROWSCANNER_H
