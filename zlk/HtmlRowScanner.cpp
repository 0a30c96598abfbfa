#include "HtmlRowScanner.h"

#include <cstdio>
#include <cstring>

namespace zlk {

bool HtmlRowScanner::hasReportRows(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rbe");
    if (!file)
        return false;
    const std::string marker = RowMarker;
    // Each block keeps the last bytes of the one before, so a marker that
    // straddles two reads is still found.
    std::string window;
    char block[65536];
    bool found = false;
    size_t n;
    while (!found && (n = std::fread(block, 1, sizeof block, file)) > 0) {
        window.append(block, n);
        found = window.find(marker) != std::string::npos;
        if (window.size() >= marker.size())
            window.erase(0, window.size() - (marker.size() - 1));
    }
    std::fclose(file);
    return found;
}

} // namespace zlk
