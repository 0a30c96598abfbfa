#pragma once

#include <QString>

// The notification strings as the rules load and save them: one read and one
// write per key, in the order the rules make them. The default goes to zlk;
// tests wrap it to see each write.
class NotificationStrings
{
public:
    virtual ~NotificationStrings() = default;
    // The stored text, cleaned as every caller cleans it, or defaultValue.
    virtual QString get(const QString& section, const QString& key, const QString& defaultValue);
    // Holds one write; the all-empty write commits the save. False with the
    // library's reason in error.
    virtual bool set(const QString& section, const QString& key, const QString& value,
                     QString& error);
};
