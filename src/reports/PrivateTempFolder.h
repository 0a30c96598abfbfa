#pragma once

#include <QString>

// The run's own temporary folder: made on first use under the system's
// temporary folder with mode 0700, so no other user can plant a file or a link
// in it, and removed with its contents when the program ends (also when a
// termination, interrupt or hang-up signal ends it). Report and
// archive files on their way to the mail server or to an output file live
// here.
namespace PrivateTempFolder {

// The folder's path, or "" (with the reason in error) when it cannot be made.
QString path(QString* error = nullptr);

// Creates the empty file (mode 0600) that must not exist yet, never through a
// link: false with the reason in error when anything is in its place.
bool createFile(const QString& file, QString* error = nullptr);

} // namespace PrivateTempFolder
