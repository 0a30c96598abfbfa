#ifndef NOTIFICATIONSTORE_H
#define NOTIFICATIONSTORE_H

#include <string>
#include <string_view>

// The notification strings of zlk.ini. A program saves its rules as a series
// of writes ended by one commit; the product's notification service may read
// the file at any moment, so the writes are held in this process until the
// commit applies them all to the file in one atomic replace. Writers of
// several programs are serialised by an exclusive lock on "zlk.ini.lock"
// beside the file, and each commit starts from the file as it is then, so a
// concurrent save of another section is not lost.
namespace zlk::NotificationStore {

// The value of section/key: a write held for the next commit, else the file's
// value, else nothing (false). A file that cannot be read counts as empty and
// leaves its reason in error.
bool value(std::string_view section, std::string_view key, std::string& value, std::string& error);

// Holds a write for the next commit. False, with the reason, for a name or
// value the file cannot keep.
bool write(std::string_view section, std::string_view key, std::string_view value,
           std::string& error);

// Applies every held write to the file under the lock and replaces the file
// once (not at all when no value changes). The held writes are gone after
// the call either way; false with the reason when the file was not written.
bool commit(std::string& error);

} // namespace zlk::NotificationStore

#endif // NOTIFICATIONSTORE_H
