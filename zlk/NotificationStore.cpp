#include "NotificationStore.h"

#include "IniFile.h"
#include "ZlkSupport.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zlk::NotificationStore {

namespace {

struct Write
{
    std::string section, key, value;
};

std::mutex storeMutex; // the held writes, and one commit at a time in this process
std::vector<Write> held;

// A lock on "<file>.lock": exclusive for a commit, shared for a read. Readers
// never create the lock file; a writer creates it and leaves it in place, since
// removing a lock file others may be waiting on would let two writers in.
class FileLock
{
public:
    FileLock(const std::string& iniPath, bool exclusive)
    {
        const std::string path = IniFile::resolvedPath(iniPath) + ".lock";
        const int flags = O_CLOEXEC | O_NOFOLLOW;
        m_fd = exclusive ? ::open(path.c_str(), flags | O_RDWR | O_CREAT, 0666) : -1;
        if (m_fd < 0) // flock() works on a descriptor opened for reading as well
            m_fd = ::open(path.c_str(), flags | O_RDONLY);
        if (m_fd < 0) {
            m_error = (exclusive || errno != ENOENT)
                          ? "cannot open the lock file " + path + ": " + errnoText(errno)
                          : std::string();
            return;
        }
        // A writer holds the lock for one save; wait a while, then give up
        // with a reason rather than hang behind a stuck program.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (::flock(m_fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) ||
                std::chrono::steady_clock::now() > deadline) {
                m_error = "cannot lock " + path + ": " +
                          (errno == EWOULDBLOCK ? std::string("another program holds it")
                                                : errnoText(errno));
                ::close(m_fd);
                m_fd = -1;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~FileLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool locked() const { return m_fd >= 0; }
    const std::string& error() const { return m_error; }

private:
    int m_fd = -1;
    std::string m_error;
};

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

bool value(std::string_view section, std::string_view key, std::string& result, std::string& error)
{
    std::lock_guard<std::mutex> guard(storeMutex);
    for (auto it = held.rbegin(); it != held.rend(); ++it) {
        if (sameName(it->section, section) && sameName(it->key, key)) {
            result = it->value;
            return true;
        }
    }
    const std::string path = iniFilePath();
    IniFile ini;
    {
        // A writer that cannot replace the file (see IniFile::save) rewrites
        // it in place under the exclusive lock; the shared lock waits for that.
        FileLock lock(path, false);
        if (!lock.error().empty())
            error = lock.error();
        if (!ini.load(path, error))
            return false;
    }
    if (const auto stored = ini.value(section, key)) {
        result = *stored;
        return true;
    }
    return false;
}

bool write(std::string_view section, std::string_view key, std::string_view text,
           std::string& error)
{
    for (const std::string& reason : {IniFile::checkSection(section), IniFile::checkKey(key),
                                      IniFile::checkValue(text)}) {
        if (!reason.empty()) {
            error = reason;
            return false;
        }
    }
    std::lock_guard<std::mutex> guard(storeMutex);
    held.push_back({std::string(section), std::string(key), std::string(text)});
    return true;
}

bool commit(std::string& error)
{
    std::lock_guard<std::mutex> guard(storeMutex);
    std::vector<Write> writes;
    writes.swap(held);
    if (writes.empty())
        return true;

    const std::string path = iniFilePath();
    FileLock lock(path, true);
    if (!lock.locked()) {
        error = lock.error();
        return false;
    }
    IniFile ini;
    if (!ini.load(path, error))
        return false;
    bool changed = false;
    for (const Write& w : writes)
        changed = ini.setValue(w.section, w.key, w.value) || changed;
    return !changed || ini.save(path, error);
}

} // namespace zlk::NotificationStore
