#include "TrueTypeSubsetter.h"

#include <QRawFont>
#include <algorithm>

namespace {

void put16(QByteArray& out, quint16 v)
{
    out.append(char(v >> 8));
    out.append(char(v & 0xFF));
}

void put32(QByteArray& out, quint32 v)
{
    put16(out, quint16(v >> 16));
    put16(out, quint16(v & 0xFFFF));
}

void set32(QByteArray& out, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = char((v >> (24 - 8 * i)) & 0xFF);
}

quint32 checksum(QByteArrayView data)
{
    quint32 sum = 0;
    for (qsizetype i = 0; i < data.size(); i += 4)
        sum += TrueTypeSubsetter::u32(data, i);
    return sum;
}

// Flags of a composite glyph's component.
constexpr quint16 ArgsAreWords = 0x0001;
constexpr quint16 HaveScale = 0x0008;
constexpr quint16 MoreComponents = 0x0020;
constexpr quint16 HaveXYScale = 0x0040;
constexpr quint16 HaveTwoByTwo = 0x0080;

} // namespace

quint16 TrueTypeSubsetter::u16(QByteArrayView data, qsizetype at)
{
    if (at < 0 || at + 2 > data.size())
        return 0;
    return quint16((uchar(data[at]) << 8) | uchar(data[at + 1]));
}

quint32 TrueTypeSubsetter::u32(QByteArrayView data, qsizetype at)
{
    // A table's last word may be short: it counts as padded with zeros.
    quint32 v = 0;
    for (qsizetype i = at; i < at + 4; ++i)
        v = (v << 8) | (i >= 0 && i < data.size() ? uchar(data[i]) : 0);
    return v;
}

QByteArray TrueTypeSubsetter::subset(const QRawFont& font, std::vector<bool> used)
{
    QByteArray head = font.fontTable("head");
    const QByteArray loca = font.fontTable("loca");
    const QByteArray glyf = font.fontTable("glyf");
    const int glyphs = u16(font.fontTable("maxp"), 4);
    if (head.size() < 54 || loca.isEmpty() || glyf.isEmpty() || glyphs == 0)
        return {};
    const bool longOffsets = u16(head, 50) != 0;
    auto offset = [&](int g) {
        return longOffsets ? qsizetype(u32(loca, 4 * g)) : qsizetype(u16(loca, 2 * g)) * 2;
    };
    used.resize(size_t(glyphs), false);
    used[0] = true; // the glyph of characters the font lacks

    // Composite glyphs draw other glyphs: those are kept too.
    std::vector<int> pending;
    for (int g = 0; g < glyphs; ++g) {
        if (used[size_t(g)])
            pending.push_back(g);
    }
    while (!pending.empty()) {
        const int g = pending.back();
        pending.pop_back();
        const qsizetype start = offset(g);
        if (offset(g + 1) <= start || s16(glyf, start) >= 0)
            continue;
        qsizetype at = start + 10;
        quint16 flags = MoreComponents;
        while ((flags & MoreComponents) && at + 4 <= glyf.size()) {
            flags = u16(glyf, at);
            const int part = u16(glyf, at + 2);
            if (part < glyphs && !used[size_t(part)]) {
                used[size_t(part)] = true;
                pending.push_back(part);
            }
            at += 4 + ((flags & ArgsAreWords) ? 4 : 2);
            if (flags & HaveScale)
                at += 2;
            else if (flags & HaveXYScale)
                at += 4;
            else if (flags & HaveTwoByTwo)
                at += 8;
        }
    }

    QByteArray newGlyf;
    QByteArray newLoca;
    for (int g = 0; g < glyphs; ++g) {
        put32(newLoca, quint32(newGlyf.size()));
        const qsizetype start = offset(g);
        const qsizetype end = std::min(offset(g + 1), glyf.size());
        if (used[size_t(g)] && end > start) {
            newGlyf.append(glyf.constData() + start, end - start);
            newGlyf.append((4 - newGlyf.size() % 4) % 4, '\0');
        }
    }
    put32(newLoca, quint32(newGlyf.size()));
    set32(head, 8, 0);          // checkSumAdjustment, set below
    head[50] = 0, head[51] = 1; // long offsets in loca

    struct Table
    {
        const char* tag;
        QByteArray data;
    };
    // In tag order, as the table directory wants them.
    std::vector<Table> tables;
    for (const char* tag :
         {"cvt ", "fpgm", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "prep"}) {
        const QByteArrayView name(tag);
        QByteArray data = name == "glyf"   ? newGlyf
                          : name == "loca" ? newLoca
                          : name == "head" ? head
                                           : font.fontTable(tag);
        if (!data.isEmpty())
            tables.push_back({tag, data});
    }
    const quint16 count = quint16(tables.size());
    quint16 power = 1;
    quint16 log2 = 0;
    while (power * 2 <= count)
        power *= 2, ++log2;
    QByteArray out;
    put32(out, 0x00010000);
    put16(out, count);
    put16(out, quint16(power * 16));
    put16(out, log2);
    put16(out, quint16(count * 16 - power * 16));
    qsizetype at = 12 + 16 * qsizetype(count);
    qsizetype headAt = 0;
    for (const Table& t : tables) {
        out.append(t.tag, 4);
        put32(out, checksum(t.data));
        put32(out, quint32(at));
        put32(out, quint32(t.data.size()));
        if (QByteArrayView(t.tag) == "head")
            headAt = at;
        at += (t.data.size() + 3) / 4 * 4;
    }
    for (const Table& t : tables) {
        out.append(t.data);
        out.append((4 - t.data.size() % 4) % 4, '\0');
    }
    set32(out, headAt + 8, 0xB1B0AFBA - checksum(out));
    return out;
}
