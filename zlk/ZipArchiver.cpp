#include "ZipArchiver.h"

#include "ZlkSupport.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

namespace zlk {

namespace {

std::string zipErrorText(zip_error_t* error)
{
    std::string text = zip_error_strerror(error);
    zip_error_fini(error);
    return text;
}

} // namespace

bool ZipArchiver::zipFile(const std::string& source, const std::string& archive, std::string& error)
{
    if (source.empty() || archive.empty()) {
        error = source.empty() ? "no source file given" : "no archive file given";
        return false;
    }
    const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat sourceInfo;
    if (fd < 0 || ::fstat(fd, &sourceInfo) != 0) {
        error = "cannot open source file " + source + ": " + errnoText(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    if (!S_ISREG(sourceInfo.st_mode)) {
        error = "source " + source + " is not a regular file";
        return false;
    }
    struct stat archiveInfo;
    if (::stat(archive.c_str(), &archiveInfo) == 0 && archiveInfo.st_dev == sourceInfo.st_dev &&
        archiveInfo.st_ino == sourceInfo.st_ino) {
        error = "the archive " + archive + " would replace its own source";
        return false;
    }

    int code = 0;
    zip_t* zip = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!zip) {
        zip_error_t zipError;
        zip_error_init_with_code(&zipError, code);
        error = "cannot create archive " + archive + ": " + zipErrorText(&zipError);
        return false;
    }
    const size_t slash = source.rfind('/');
    const std::string name = slash == std::string::npos ? source : source.substr(slash + 1);
    zip_source_t* data = zip_source_file(zip, source.c_str(), 0, -1);
    const zip_int64_t index = data ? zip_file_add(zip, name.c_str(), data, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
        error = "cannot add " + source + " to archive " + archive + ": " + zip_strerror(zip);
        if (data)
            zip_source_free(data);
        zip_discard(zip);
        return false;
    }
    // Deflate's fastest level: a report's repetitive text still shrinks to a
    // few percent of its size, in a fraction of the default level's time.
    zip_set_file_compression(zip, zip_uint64_t(index), ZIP_CM_DEFLATE, 1);
    // Compression and writing happen here; on failure libzip removes its
    // temporary file and the archive path is left as it was.
    if (zip_close(zip) != 0) {
        error = "cannot write archive " + archive + ": " + zip_strerror(zip);
        zip_discard(zip);
        return false;
    }
    return true;
}

} // namespace zlk
