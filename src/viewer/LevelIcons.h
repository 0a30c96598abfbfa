#pragma once

#include <QIcon>
#include <QString>

// The viewer's images: one per level for the grid's Level column and the level
// toolbar buttons, and one per toolbar command. Keys are those of the toolbar
// buttons: DELETE, FIND, FATAL, STATUS, WARNING, HELP, ERROR, DETAILS, REPORT,
// REFRESH, PRINT.
namespace LevelIcons {

// The icon of a stored Level value; a null icon outside 0 to 3.
QIcon forLevel(int level);

// The image of a key; a null icon for an empty or unknown key.
QIcon forKey(const QString& key);

// Every key that has an image, in the order of the image list.
QStringList keys();

} // namespace LevelIcons
