#pragma once

#include "ReportStreamWriter.h"

#include <QByteArray>
#include <QList>
#include <QStringView>
#include <cmath>

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
    // /Filter, and the data, deflated (or already deflated: packed).
    void stream(int number, QByteArrayView entries, QByteArrayView data);
    void packedStream(int number, QByteArrayView entries, QByteArrayView packed);
    // Writes out what has collected, in blocks; false once a write failed.
    bool flush() { return m_out.flush(); }
    // The cross-reference table and trailer, everything written out.
    bool finish(int catalog, int info);
    AuditError error() const { return m_out.error(); }

    // A text string in the PDF's own encoding: UTF-16 in hex.
    static void appendText(QByteArray& out, QStringView text);
    // A number with at most three decimals, without trailing zeros, into a
    // QByteArray or std::string.
    template <typename Out> static void appendNumber(Out& out, double value)
    {
        qint64 thousandths = std::llround(value * 1000);
        if (thousandths < 0) {
            out.push_back('-');
            thousandths = -thousandths;
        }
        appendInt(out, thousandths / 1000);
        const int fraction = int(thousandths % 1000);
        if (fraction == 0)
            return;
        const char digits[4] = {'.', char('0' + fraction / 100), char('0' + fraction / 10 % 10),
                                char('0' + fraction % 10)};
        int n = 4;
        while (digits[n - 1] == '0')
            --n;
        out.append(digits, n);
    }
    template <typename Out> static void appendInt(Out& out, qint64 value)
    {
        char digits[24];
        char* end = digits + sizeof digits;
        char* p = end;
        quint64 v = value < 0 ? quint64(-value) : quint64(value);
        do {
            *--p = char('0' + v % 10);
            v /= 10;
        } while (v);
        if (value < 0)
            *--p = '-';
        out.append(p, end - p);
    }
    // A reference "n 0 R".
    template <typename Out> static void appendRef(Out& out, int number)
    {
        appendInt(out, number);
        out.append(" 0 R", 4);
    }

private:
    ReportStreamWriter m_out;
    QList<qint64> m_offsets; // by object number, -1 until written; 0 unused
    QByteArray m_scratch;
};
