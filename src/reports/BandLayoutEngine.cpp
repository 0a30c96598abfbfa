#include "BandLayoutEngine.h"

#include "ReportTextMetrics.h"

#include <QVarLengthArray>

#include <algorithm>

namespace {

// A text that owns its characters: texts read back in place from kept pages
// do not outlive the record they came from.
QString owned(const QString& text)
{
    // Raw data (no allocation of its own) is not mutable; literals are copied too.
    return text.data_ptr().isMutable() || text.isEmpty() ? text
                                                         : QString(text.constData(), text.size());
}

} // namespace

BandLayoutEngine::BandLayoutEngine(const ReportBand& band, const ReportTextMetrics& metrics)
    : m_band(&band), m_metrics(&metrics)
{
    const qsizetype n = band.elements.size();
    for (int i = 0; i < n; ++i) {
        m_byTop.append(i);
        const ReportElement& e = band.elements.at(i);
        m_lineHeights.append(e.isText() ? metrics.lineHeight(e.font) : 0);
    }
    m_last.resize(n);
    std::stable_sort(m_byTop.begin(), m_byTop.end(), [&](int a, int b) {
        return band.elements.at(a).top < band.elements.at(b).top;
    });
}

void BandLayoutEngine::layout(const QList<QString>& texts, LaidOutBand* out) const
{
    const QList<ReportElement>& elements = m_band->elements;
    const qsizetype n = elements.size();
    out->band = m_band;
    out->elements.resize(n);

    // Growth of each element that grew, and how far its bottom moved in all
    // (its own growth plus the shift of its top).
    struct Grower
    {
        int designBottom;
        int moved;
    };
    QVarLengthArray<Grower, 16> growers;
    auto shiftAt = [&](int y) {
        int shift = 0;
        for (const Grower& g : growers) {
            if (g.designBottom <= y)
                shift = std::max(shift, g.moved);
        }
        return shift;
    };

    for (int index : m_byTop) {
        const ReportElement& e = elements.at(index);
        LaidOutElement& item = out->elements[index];
        item.element = &e;
        item.top = e.top + shiftAt(e.top);
        item.height = e.height;
        item.lineHeight = m_lineHeights.at(index);
        if (!e.isText()) {
            // Assigned, not cleared: a cleared list that shares its lines
            // with another allocates a new one.
            if (!item.lines.isEmpty())
                item.lines = QStringList();
            continue;
        }
        static const QString none;
        const QString& text = index < texts.size() ? texts.at(index) : none;
        LastText& last = m_last[index];
        if (last.valid && last.text == text) {
            // The band of the row before often holds these very lines already.
            if (item.lines.constData() != last.lines.constData())
                item.lines = last.lines;
            item.lineHeight = last.lineHeight;
            item.inset = last.inset;
        } else {
            // The kept lines are let go first: the item's own list is then
            // reused for the new ones (unless a stored band still holds it).
            last.lines = QStringList();
            if (!text.isEmpty())
                item.lineHeight = m_metrics->lineHeight(e.font, text);
            wrapText(e, text, &item);
            last.lines = item.lines;
            if (!text.data_ptr().isMutable()) {
                for (QString& line : last.lines)
                    line = owned(line);
            }
            last.text = owned(text);
            last.lineHeight = item.lineHeight;
            last.inset = item.inset;
            last.valid = true;
        }
        if (e.canGrow) {
            const int needed = int(item.lines.size()) * item.lineHeight;
            if (needed > e.height) {
                item.height = needed;
                growers.append({e.bottom(), item.top - e.top + needed - e.height});
            }
        }
    }

    int height = m_band->height + shiftAt(m_band->height);
    for (int i = 0; i < n; ++i) {
        LaidOutElement& item = out->elements[i];
        const ReportElement& e = elements.at(i);
        if (e.kind == ReportElementKind::VerticalLine)
            item.height = e.bottom() + shiftAt(e.bottom()) - item.top;
        height = std::max(height, item.bottom());
    }
    out->height = height;
}

// Breaks the text for its box, keeping the metrics' inset free on both sides
// unless that would cost a line (or, in a box that cannot grow, characters):
// a heading that just fits its box is not cut for the sake of the inset.
void BandLayoutEngine::wrapText(const ReportElement& e, const QString& text,
                                LaidOutElement* item) const
{
    const int maxLines = e.canGrow ? 0 : std::max(1, e.height / std::max(1, item->lineHeight));
    item->inset = std::min(m_metrics->horizontalInset(), e.width / 4);
    bool cut = false;
    m_metrics->wrap(text, e.width - 2 * item->inset, e.font, maxLines, item->lines, &cut);
    // Lines that were neither broken nor left out are the same at the full width.
    if (item->inset == 0 || !cut)
        return;
    QStringList full = m_metrics->wrap(text, e.width, e.font, maxLines);
    auto shown = [](const QStringList& lines) {
        qsizetype n = 0;
        for (const QString& line : lines)
            n += line.size();
        return n;
    };
    if (full.size() < item->lines.size() || shown(full) > shown(item->lines)) {
        item->lines = std::move(full);
        item->inset = 0;
    }
}

int BandLayoutEngine::breakPoint(const LaidOutBand& band, int from, int limit)
{
    int cut = limit;
    bool moved = true;
    while (moved && cut > from) {
        moved = false;
        for (const LaidOutElement& item : band.elements) {
            if (item.lines.isEmpty() || item.lineHeight <= 0)
                continue;
            for (int i = 0; i < item.lines.size(); ++i) {
                const int top = item.lineTop(i);
                if (top >= cut)
                    break;
                if (top + item.lineHeight > cut && top >= from) {
                    cut = top;
                    moved = true;
                    break;
                }
            }
        }
    }
    return std::max(cut, from);
}

bool BandLayoutEngine::hasTextIn(const LaidOutBand& band, int from, int to)
{
    for (const LaidOutElement& item : band.elements) {
        for (int i = 0; i < item.lines.size(); ++i) {
            const int top = item.lineTop(i);
            if (top >= from && top < to)
                return true;
        }
    }
    return false;
}
