#include "NotificationStrings.h"

#include "ZlkApi.h"

QString NotificationStrings::get(const QString& section, const QString& key,
                                 const QString& defaultValue)
{
    return Zlk::getNotificationString(section, key, defaultValue);
}

bool NotificationStrings::set(const QString& section, const QString& key, const QString& value,
                              QString& error)
{
    if (Zlk::setNotificationString(section, key, value))
        return true;
    error = Zlk::lastError();
    return false;
}
