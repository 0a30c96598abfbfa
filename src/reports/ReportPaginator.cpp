#include "ReportPaginator.h"

#include "ReportLayout.h"
#include "ReportPageSink.h"
#include "ReportProgress.h"
#include "ReportRenderer.h"
#include "ReportRowSource.h"
#include "ReportTextMetrics.h"

ReportPaginator::ReportPaginator(const ReportLayout& layout, const ReportTextMetrics& metrics)
    : m_layout(layout), m_metrics(metrics), m_formatter(layout.locale()),
      m_reportHeader(layout.band(ReportBand::ReportHeader), metrics),
      m_pageHeader(layout.band(ReportBand::PageHeader), metrics),
      m_detail(layout.band(ReportBand::Detail), metrics),
      m_pageFooter(layout.band(ReportBand::PageFooter), metrics),
      m_reportFooter(layout.band(ReportBand::ReportFooter), metrics)
{
    const QDateTime now =
        layout.printTime().isValid() ? layout.printTime() : QDateTime::currentDateTime();
    m_date = m_formatter.shortDate(now.date());
    m_time = m_formatter.shortTime(now.time());
}

bool ReportPaginator::run(ReportRowSource& source, ReportPageSink* sink, int pageCount)
{
    m_sink = sink;
    m_measureOnly = sink == nullptr;
    m_pageCount = pageCount;
    m_page = 0;
    m_rows = 0;
    m_error = {};

    // The counting pass reads only what can change a band's height.
    QStringList fields;
    for (const ReportElement& e : m_layout.band(ReportBand::Detail).elements) {
        if (e.kind == ReportElementKind::Field && (!m_measureOnly || shapesBand(e)) &&
            !fields.contains(e.field))
            fields.append(e.field);
    }
    source.setFieldsToRead(fields);

    QString failure;
    if (!source.start(&failure)) {
        const int number = source.lastErrorNumber();
        m_error = {number ? number : ReportErrorNumber::DataSource,
                   failure.isEmpty() ? source.lastError() : failure};
        return false;
    }
    if (m_sink && !m_sink->beginDocument(pageCount))
        return sinkFailed();
    if (!startPage())
        return false;

    LaidOutBand band;
    QList<QString> texts;
    const bool keepTogether = m_layout.band(ReportBand::Detail).keepTogether;
    ReportProgress* progress = m_layout.progress();
    while (source.next()) {
        rowTexts(source, &texts);
        m_detail.layout(texts, &band);
        if (!place(band, keepTogether))
            return false;
        if (++m_rows % ReportProgress::RowsPerStep == 0 && progress) {
            progress->step(m_rows);
            if (progress->cancelled()) {
                m_error = {ReportErrorNumber::Cancelled,
                           QStringLiteral("The report was cancelled.")};
                return false;
            }
        }
    }
    if (!source.lastError().isEmpty()) {
        const int number = source.lastErrorNumber();
        m_error = {number ? number : ReportErrorNumber::DataSource, source.lastError()};
        return false;
    }

    const ReportBand& footer = m_layout.band(ReportBand::ReportFooter);
    if (!footer.isEmpty()) {
        fixedTexts(footer, &texts);
        m_reportFooter.layout(texts, &band);
        if (!place(band, true))
            return false;
    }
    if (!finishPage())
        return false;
    if (m_sink && !m_sink->endDocument())
        return sinkFailed();
    return true;
}

bool ReportPaginator::startPage()
{
    ++m_page;
    if (m_sink && !m_sink->beginPage(m_page))
        return sinkFailed();
    m_y = m_layout.topMargin();
    if (m_page == 1 && !placeFixedBand(m_reportHeader, m_y))
        return false;
    if (!placeFixedBand(m_pageHeader, m_y))
        return false;
    m_bodyTop = m_y;
    m_bodyBottom = m_layout.paperSize().height() - m_layout.bottomMargin() -
                   m_layout.band(ReportBand::PageFooter).height;
    if (m_bodyBottom <= m_bodyTop) {
        m_error = {ReportErrorNumber::InvalidArgument,
                   QStringLiteral("The page is too small for the headers of the report.")};
        return false;
    }
    return true;
}

bool ReportPaginator::finishPage()
{
    if (!placeFixedBand(m_pageFooter, m_bodyBottom))
        return false;
    if (m_sink && !m_sink->endPage())
        return sinkFailed();
    return true;
}

// A header or footer: laid out with this page's texts and drawn whole at y;
// m_y moves below it.
bool ReportPaginator::placeFixedBand(const BandLayoutEngine& engine, int y)
{
    const ReportBand& band = engine.band();
    if (band.isEmpty())
        return true;
    LaidOutBand laidOut;
    QList<QString> texts;
    fixedTexts(band, &texts);
    engine.layout(texts, &laidOut);
    m_y = y + laidOut.height;
    return draw(laidOut, y, 0, laidOut.height);
}

bool ReportPaginator::place(const LaidOutBand& band, bool keepTogether)
{
    const int height = band.height;
    if (height > m_bodyBottom - m_y && m_y > m_bodyTop && keepTogether) {
        if (!finishPage() || !startPage())
            return false;
    }
    int offset = 0;
    for (;;) {
        const int room = m_bodyBottom - m_y;
        if (height - offset <= room) {
            if (!draw(band, m_y - offset, offset, height))
                return false;
            m_y += height - offset;
            return true;
        }
        int cut = BandLayoutEngine::breakPoint(band, offset, offset + room);
        // A part without any text (only rules or space) is not worth a
        // split on a page that has rows already.
        if (cut > offset && (!BandLayoutEngine::hasTextIn(band, offset, cut) ||
                             !BandLayoutEngine::hasTextIn(band, cut, height)))
            cut = offset;
        if (cut <= offset) {
            if (m_y > m_bodyTop) {
                // Nothing of the band fits here: it starts on the next page.
                if (!finishPage() || !startPage())
                    return false;
                continue;
            }
            cut = offset + room; // a single line taller than a page
        }
        if (!draw(band, m_y - offset, offset, cut))
            return false;
        if (!finishPage() || !startPage())
            return false;
        offset = cut;
    }
}

bool ReportPaginator::draw(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom)
{
    if (!m_sink)
        return true;
    if (!m_sink->drawBand(band, originY, sliceTop, sliceBottom))
        return sinkFailed();
    return true;
}

void ReportPaginator::fixedTexts(const ReportBand& band, QList<QString>* texts) const
{
    texts->resize(band.elements.size());
    for (qsizetype i = 0; i < band.elements.size(); ++i) {
        const ReportElement& e = band.elements.at(i);
        (*texts)[i] = e.kind == ReportElementKind::Label ? substitute(e.text) : QString();
    }
}

void ReportPaginator::rowTexts(ReportRowSource& source, QList<QString>* texts) const
{
    const ReportBand& band = m_layout.band(ReportBand::Detail);
    texts->resize(band.elements.size());
    for (qsizetype i = 0; i < band.elements.size(); ++i) {
        const ReportElement& e = band.elements.at(i);
        QString& text = (*texts)[i];
        if (e.kind == ReportElementKind::Label)
            text = substitute(e.text);
        else if (e.kind == ReportElementKind::Field && (!m_measureOnly || shapesBand(e)))
            text = m_formatter.format(source.value(e.field), e.format);
        else
            text.clear();
    }
}

// Whether a field's text can change the band's height or where it may be cut:
// it grows, or its box holds more than one line.
bool ReportPaginator::shapesBand(const ReportElement& e) const
{
    return e.canGrow || e.height >= 2 * m_metrics.lineHeight(e.font);
}

QString ReportPaginator::substitute(const QString& text) const
{
    if (!text.contains(QLatin1Char('%')))
        return text;
    QString out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('%') || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        switch (text[i + 1].unicode()) {
        case 'i':
            out += m_layout.title();
            break;
        case 'd':
            out += m_date;
            break;
        case 't':
            out += m_time;
            break;
        case 'p':
            out += QString::number(m_page);
            break;
        case 'P':
            out += QString::number(std::max(m_pageCount, m_page));
            break;
        case '%':
            out += c;
            break;
        default:
            out += c;
            out += text[i + 1];
            break;
        }
        ++i;
    }
    return out;
}

bool ReportPaginator::sinkFailed()
{
    m_error = m_sink->error();
    return false;
}
