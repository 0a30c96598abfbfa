#include "PdfObjectWriter.h"

#include "PdfDeflater.h"

#include <cmath>
#include <cstdio>

PdfObjectWriter::PdfObjectWriter(QIODevice* device) : m_out(device)
{
    m_offsets.append(0);
}

bool PdfObjectWriter::begin()
{
    // The comment of bytes above 127 tells transfer programs the file is binary.
    m_out.appendUtf8("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    return m_out.flush();
}

int PdfObjectWriter::reserve()
{
    m_offsets.append(-1);
    return int(m_offsets.size() - 1);
}

void PdfObjectWriter::object(int number, QByteArrayView body)
{
    m_offsets[number] = m_out.position();
    m_scratch.resize(0);
    appendInt(m_scratch, number);
    m_scratch.append(" 0 obj\n");
    m_out.appendUtf8(m_scratch);
    m_out.appendUtf8(body);
    m_out.appendUtf8("\nendobj\n");
}

void PdfObjectWriter::stream(int number, QByteArrayView entries, QByteArrayView data)
{
    packedStream(number, entries, PdfDeflater::deflate(data.data(), data.size()));
}

void PdfObjectWriter::packedStream(int number, QByteArrayView entries, QByteArrayView packed)
{
    m_offsets[number] = m_out.position();
    m_scratch.resize(0);
    appendInt(m_scratch, number);
    m_scratch.append(" 0 obj\n<</Length ");
    appendInt(m_scratch, packed.size());
    m_scratch.append(" /Filter /FlateDecode ");
    m_scratch.append(entries);
    m_scratch.append(">>\nstream\n");
    m_out.appendUtf8(m_scratch);
    m_out.appendUtf8(packed);
    m_out.appendUtf8("\nendstream\nendobj\n");
    m_out.flush();
}

bool PdfObjectWriter::finish(int catalog, int info)
{
    const qint64 start = m_out.position();
    QByteArray table = "xref\n0 ";
    appendInt(table, m_offsets.size());
    table.append("\n0000000000 65535 f \n");
    char entry[24];
    for (qsizetype i = 1; i < m_offsets.size(); ++i) {
        if (m_offsets[i] < 0)
            std::snprintf(entry, sizeof entry, "0000000000 65535 f \n");
        else
            std::snprintf(entry, sizeof entry, "%010lld 00000 n \n", qlonglong(m_offsets[i]));
        table.append(entry, 20);
    }
    table.append("trailer\n<</Size ");
    appendInt(table, m_offsets.size());
    table.append(" /Root ");
    appendRef(table, catalog);
    table.append(" /Info ");
    appendRef(table, info);
    table.append(">>\nstartxref\n");
    appendInt(table, start);
    table.append("\n%%EOF\n");
    m_out.appendUtf8(table);
    return m_out.flush(true);
}

void PdfObjectWriter::appendText(QByteArray& out, QStringView text)
{
    static const char Hex[] = "0123456789ABCDEF";
    out.append("<FEFF");
    for (QChar c : text) {
        const ushort u = c.unicode();
        const char digits[4] = {Hex[u >> 12], Hex[(u >> 8) & 15], Hex[(u >> 4) & 15], Hex[u & 15]};
        out.append(digits, 4);
    }
    out.append('>');
}
