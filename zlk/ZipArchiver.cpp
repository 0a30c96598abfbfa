#include "ZipArchiver.h"

#include "ParallelDeflate.h"
#include "ZlkSupport.h"

#include <cerrno>
#include <cstdlib>
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

// The file's bytes already deflated (in a file of their own), handed to libzip
// with their sizes and CRC, so that it copies them as they are.
struct Deflated
{
    int fd = -1;
    ParallelDeflate::Result result;
    time_t mtime = 0;
    zip_error_t error;
};

zip_int64_t deflatedSource(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto* source = static_cast<Deflated*>(state);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        if (::lseek(source->fd, 0, SEEK_SET) == 0)
            return 0;
        zip_error_set(&source->error, ZIP_ER_SEEK, errno);
        return -1;
    case ZIP_SOURCE_READ: {
        ssize_t n;
        do
            n = ::read(source->fd, data, length);
        while (n < 0 && errno == EINTR);
        if (n >= 0)
            return n;
        zip_error_set(&source->error, ZIP_ER_READ, errno);
        return -1;
    }
    case ZIP_SOURCE_STAT: {
        auto* stat = static_cast<zip_stat_t*>(data);
        zip_stat_init(stat);
        stat->valid = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_CRC |
                      ZIP_STAT_MTIME;
        stat->size = source->result.size;
        stat->comp_size = source->result.compressedSize;
        stat->comp_method = ZIP_CM_DEFLATE;
        stat->crc = source->result.crc;
        stat->mtime = source->mtime;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&source->error, data, length);
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE:
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE,
                                              -1);
    default:
        zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

// Deflates source (open as in) into an unnamed file beside archive, on as many
// threads as the machine has cores (up to four).
bool deflateBeside(int in, const std::string& archive, Deflated& deflated, std::string& error)
{
    std::string name = archive + ".deflate-XXXXXX";
    deflated.fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (deflated.fd < 0) {
        error = "cannot create a temporary file beside " + archive + ": " + errnoText(errno);
        return false;
    }
    ::unlink(name.c_str());
    // The smaller output: an archive made as a file is checked against the
    // abort size before it is sent.
    return ParallelDeflate::compress(in, deflated.fd, ParallelDeflate::Method::Smaller,
                                     deflated.result, error);
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
    if (!S_ISREG(sourceInfo.st_mode)) {
        ::close(fd);
        error = "source " + source + " is not a regular file";
        return false;
    }
    struct stat archiveInfo;
    if (::stat(archive.c_str(), &archiveInfo) == 0 && archiveInfo.st_dev == sourceInfo.st_dev &&
        archiveInfo.st_ino == sourceInfo.st_ino) {
        ::close(fd);
        error = "the archive " + archive + " would replace its own source";
        return false;
    }
    Deflated deflated;
    zip_error_init(&deflated.error);
    deflated.mtime = sourceInfo.st_mtime;
    const bool compressed = deflateBeside(fd, archive, deflated, error);
    ::close(fd);
    struct CloseDeflated
    {
        Deflated& d;
        ~CloseDeflated()
        {
            if (d.fd >= 0)
                ::close(d.fd);
            zip_error_fini(&d.error);
        }
    } closeDeflated{deflated};
    if (!compressed)
        return false;

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
    zip_source_t* data = zip_source_function(zip, deflatedSource, &deflated);
    const zip_int64_t index = data ? zip_file_add(zip, name.c_str(), data, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
        error = "cannot add " + source + " to archive " + archive + ": " + zip_strerror(zip);
        if (data)
            zip_source_free(data);
        zip_discard(zip);
        return false;
    }
    // Writing happens here (the deflated bytes are copied as they are); on
    // failure libzip removes its temporary file and the archive path is left
    // as it was.
    if (zip_close(zip) != 0) {
        error = "cannot write archive " + archive + ": " + zip_strerror(zip);
        zip_discard(zip);
        return false;
    }
    return true;
}

} // namespace zlk
