#pragma once

#include "ReportStreamWriter.h"

#include <QByteArray>
#include <QList>
#include <QStringView>

class QIODevice;

// The object layer of a PDF file written front to back: numbered objects,
// deflated streams, and at the end the cross-reference table and trailer.
// Object numbers can be reserved before their object is written, so that a
// page can name its parent or the shared resources written last.
class PdfObjectWriter
{
public:
    explicit PdfObjectWriter(QIODevice* device);

    // The header; false once a write failed (error() says why).
    bool begin();
    int reserve();
    // Writes object number (reserved or not) with the body given.
    void object(int number, QByteArrayView body);
    // Writes a stream object: its dictionary entries besides /Length and
    // /Filter, and the data, deflated.
    void stream(int number, QByteArrayView entries, QByteArrayView data);
    // Writes out what has collected, in blocks; false once a write failed.
    bool flush() { return m_out.flush(); }
    // The cross-reference table and trailer, everything written out.
    bool finish(int catalog, int info);
    AuditError error() const { return m_out.error(); }

    // A text string in the PDF's own encoding: UTF-16 in hex.
    static void appendText(QByteArray& out, QStringView text);
    // A number with at most three decimals, without trailing zeros.
    static void appendNumber(QByteArray& out, double value);
    static void appendInt(QByteArray& out, qint64 value);
    // A reference "n 0 R".
    static void appendRef(QByteArray& out, int number);

private:
    ReportStreamWriter m_out;
    QList<qint64> m_offsets; // by object number, -1 until written; 0 unused
    QByteArray m_scratch;
};
