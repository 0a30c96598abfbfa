#pragma once

#include "AuditError.h"

#include <QByteArrayView>
#include <QString>
#include <QVariant>

// A statement's rows read with the backend's own client library rather than
// QSqlQuery (a million keys or rows come off in a fraction of the time it
// spends wrapping each value). Made by AuditDatabase::rows() from a Jet text;
// its "?" marks take whole numbers. Values are valid until the next step.
class AuditRows
{
public:
    virtual ~AuditRows() = default;

    // Runs the statement from its start with these numbers for its marks (the
    // marks after count are Null).
    virtual bool start(const qint64* values = nullptr, int count = 0) = 0;
    // Steps to the next row; false at the end or on failure (error() says which).
    virtual bool next() = 0;
    // Ends the read and leaves no transaction or snapshot of its own open.
    virtual void reset() = 0;
    AuditError error() const { return m_error; }

    virtual int columnCount() const = 0;
    virtual QString columnName(int column) const = 0;
    virtual qint64 integer(int column) const = 0;
    // The column's text as UTF-8 bytes.
    virtual QByteArrayView text(int column) const = 0;
    // The column's value: a whole number, a real number, a text or Null.
    virtual QVariant value(int column) const = 0;

    // What raw() found.
    struct Raw
    {
        enum Kind
        {
            Null,
            Integer, // in integer
            Text,    // in text, as UTF-8
            Other    // a real number or anything else: ask value()
        };
        Kind kind = Other;
        QByteArrayView text;
        qint64 integer = 0;
    };
    // The column's value without wrapping it in a QVariant, where it is a
    // text or a whole number; a text is valid until the next step.
    virtual Raw raw(int column) const
    {
        Q_UNUSED(column);
        return {};
    }

protected:
    AuditError m_error;
};
