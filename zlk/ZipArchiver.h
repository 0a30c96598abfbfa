#ifndef ZIPARCHIVER_H
#define ZIPARCHIVER_H

#include <string>

namespace zlk {

// Writes a .zip archive holding one file under its base name (deflated). The
// archive is built in a temporary file beside it and renamed into place by
// libzip, so a failure never leaves a half-written archive behind.
class ZipArchiver
{
public:
    static bool zipFile(const std::string& source, const std::string& archive, std::string& error);
};

} // namespace zlk

#endif // ZIPARCHIVER_H
