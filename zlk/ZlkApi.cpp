#include "ZlkApi.h"

#include "zlk.h"

namespace Zlk {

void setSystemFolder(const QString& folder)
{
    zlk_set_system_folder(folder.toUtf8().constData());
}

bool isHtmlEmpty(const QString&)
{
    return true;
}
bool zipFile(const QString&, const QString&, QString& error)
{
    error = QStringLiteral("not implemented");
    return false;
}
int readFile(const QString&, int, QString& data, QString& error)
{
    data.clear();
    error = QStringLiteral("not implemented");
    return 0;
}
bool sendEmail(const QString&, const QString&, const QString&, const QString&, const QString&,
               QString* error)
{
    if (error)
        *error = QStringLiteral("not implemented");
    return false;
}
QString getNotificationString(const QString&, const QString&, const QString& defaultValue)
{
    return defaultValue;
}
bool setNotificationString(const QString&, const QString&, const QString&)
{
    return false;
}
int bitwiseOr(int value, int mask)
{
    return value | mask;
}
int bitwiseAnd(int value, int mask)
{
    return value & mask;
}
QString lastError()
{
    return QString::fromUtf8(zlk_last_error());
}

} // namespace Zlk
