#include "ReportPaginator.h"

#include "LaidOutPageStore.h"
#include "ReportLayout.h"
#include "ReportPageSink.h"
#include "ReportProgress.h"
#include "ReportRenderer.h"
#include "ReportRowSource.h"
#include "ReportTextMetrics.h"

#include <algorithm>
#include <optional>

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

ReportPaginator::~ReportPaginator() = default;

bool ReportPaginator::run(ReportRowSource& source, ReportPageSink& sink, bool nothingWithoutRows)
{
    m_pageCount = 0;
    m_page = 0;
    m_rows = 0;
    m_error = {};
    bool countsPages = false;
    for (int kind = 0; kind < ReportBand::KindCount; ++kind) {
        const ReportBand& band = m_layout.band(ReportBand::Kind(kind));
        m_countsPages[kind] =
            std::any_of(band.elements.cbegin(), band.elements.cend(), [](const ReportElement& e) {
                return e.kind == ReportElementKind::Label && e.text.contains(QLatin1String("%P"));
            });
        countsPages = countsPages || m_countsPages[kind];
    }
    // Pages are kept until the end when they print the page count, or when a
    // selection without rows must draw nothing at all, unless the sink takes
    // stand-ins.
    m_drawStandIns = m_standInsAllowed && sink.canDrawStandIns();
    m_standInStore.reset();
    m_pageStandIns.clear();
    if (m_drawStandIns && countsPages)
        m_standInStore = std::make_unique<LaidOutPageStore>(m_layout);
    std::optional<LaidOutPageStore> store;
    if (!m_drawStandIns && (countsPages || nothingWithoutRows)) {
        m_store = &store.emplace(m_layout);
        m_sink = nullptr;
    } else {
        m_store = nullptr;
        m_sink = &sink;
    }

    QStringList fields;
    for (const ReportElement& e : m_layout.band(ReportBand::Detail).elements) {
        if (e.kind == ReportElementKind::Field && !fields.contains(e.field))
            fields.append(e.field);
    }
    source.setFieldsToRead(fields);
    // The fields are formatted where the rows are read (on a second thread
    // where the source reads ahead); labels here, where the page is known.
    const ReportValueFormatter readerFormatter(m_layout.locale());
    source.setRowFormatter([this, &readerFormatter](const ReportRowSource& row,
                                                    QList<QString>* texts) {
        fieldTexts(row, readerFormatter, texts);
    });
    struct Unset
    {
        ReportRowSource& source;
        ~Unset() { source.setRowFormatter({}); }
    } unset{source};

    QString failure;
    if (!source.start(&failure)) {
        const int number = source.lastErrorNumber();
        m_error = {number ? number : ReportErrorNumber::DataSource,
                   failure.isEmpty() ? source.lastError() : failure};
        return false;
    }
    if (m_sink && !m_sink->beginDocument(0))
        return sinkFailed();
    if (!startPage())
        return false;

    LaidOutBand band;
    QList<QString> texts;
    m_texts = &texts;
    const bool keepTogether = m_layout.band(ReportBand::Detail).keepTogether;
    ReportProgress* progress = m_layout.progress();
    while (source.next()) {
        rowTexts(source, &texts);
        m_detail.layout(texts, &band);
        if (!place(band, keepTogether))
            return false;
        if (++m_rows % ReportProgress::RowsPerStep == 0 && progress) {
            source.holdReading(true);
            progress->step(m_rows);
            source.holdReading(false);
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
    m_texts = nullptr;
    if (m_store && nothingWithoutRows && m_rows == 0) {
        m_page = 0;
        return true;
    }
    if (m_store)
        return playBack(*m_store, sink);
    if (!m_sink->endDocument())
        return sinkFailed();
    m_pageCount = m_page;
    if (nothingWithoutRows && m_rows == 0) {
        m_page = 0;
        m_standInStore.reset();
    }
    if (m_standInStore && !m_standInStore->rewind())
        return storeFailed(*m_standInStore);
    return true;
}

bool ReportPaginator::nextPatch(qint64* offset, qint64* length, QByteArray* bytes)
{
    if (!m_standInStore || !m_sink)
        return false;
    LaidOutPageStore::Record record;
    if (!m_standInStore->next(&record)) {
        if (m_standInStore->error().isError())
            m_error = m_standInStore->error();
        return false;
    }
    const int pages = m_page;
    LaidOutBand band;
    layOutDeferred(record, &band);
    m_page = pages;
    *offset = record.offset;
    *length = record.length;
    *bytes = m_sink->drawnAlone(band, record.originY, record.sliceTop,
                                record.sliceBottom < 0 ? band.height : record.sliceBottom,
                                {record.offset, record.length, record.rows});
    return true;
}

bool ReportPaginator::rewindPatches()
{
    if (!m_standInStore)
        return true;
    if (m_standInStore->rewind())
        return true;
    m_error = m_standInStore->error();
    return false;
}

void ReportPaginator::layOutDeferred(LaidOutPageStore::Record& record, LaidOutBand* band)
{
    m_page = record.page;
    const QList<ReportElement>& elements = m_layout.band(record.kind).elements;
    for (qsizetype i = 0; i < elements.size() && i < record.texts.size(); ++i) {
        if (elements.at(i).kind == ReportElementKind::Label)
            record.texts[i] = substitute(elements.at(i).text);
    }
    engine(record.kind).layout(record.texts, band);
}

// The kept pages to the sink, now that the page count is known.
bool ReportPaginator::playBack(LaidOutPageStore& store, ReportPageSink& sink)
{
    m_sink = &sink;
    m_store = nullptr;
    m_pageCount = m_page;
    if (!store.rewind())
        return storeFailed(store);
    if (!m_sink->beginDocument(m_pageCount))
        return sinkFailed();
    ReportProgress* progress = m_layout.progress();
    LaidOutPageStore::Record record;
    LaidOutBand band;
    while (store.next(&record)) {
        bool ok = true;
        switch (record.type) {
        case LaidOutPageStore::Record::BeginPage:
            if (progress && progress->cancelled()) {
                m_error = {ReportErrorNumber::Cancelled,
                           QStringLiteral("The report was cancelled.")};
                return false;
            }
            ok = m_sink->beginPage(record.page);
            break;
        case LaidOutPageStore::Record::Band:
            ok = m_sink->drawBand(record.band, record.originY, record.sliceTop, record.sliceBottom);
            break;
        case LaidOutPageStore::Record::Deferred: {
            layOutDeferred(record, &band);
            ok = m_sink->drawBand(band, record.originY, record.sliceTop,
                                  record.sliceBottom < 0 ? band.height : record.sliceBottom);
            break;
        }
        case LaidOutPageStore::Record::EndPage:
            ok = m_sink->endPage();
            break;
        }
        if (!ok)
            return sinkFailed();
    }
    m_page = m_pageCount;
    if (store.error().isError())
        return storeFailed(store);
    if (!m_sink->endDocument())
        return sinkFailed();
    return true;
}

const BandLayoutEngine& ReportPaginator::engine(ReportBand::Kind kind) const
{
    switch (kind) {
    case ReportBand::ReportHeader:
        return m_reportHeader;
    case ReportBand::PageHeader:
        return m_pageHeader;
    case ReportBand::Detail:
        break;
    case ReportBand::PageFooter:
        return m_pageFooter;
    case ReportBand::ReportFooter:
        return m_reportFooter;
    }
    return m_detail;
}

bool ReportPaginator::startPage()
{
    ++m_page;
    if (m_store && !m_store->addBeginPage(m_page))
        return storeFailed(*m_store);
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
    if (m_store && !m_store->addEndPage())
        return storeFailed(*m_store);
    if (m_sink && !m_sink->endPage())
        return sinkFailed();
    return !m_drawStandIns || keepStandIns();
}

// The stand-ins of the page just ended, with where the sink put them.
bool ReportPaginator::keepStandIns()
{
    const QList<ReportPageSink::StandIn> placed = m_sink->takeStandIns();
    if (placed.size() != m_pageStandIns.size()) {
        m_error = {ReportErrorNumber::DeviceError,
                   QStringLiteral("The page count could not be kept for page %1.").arg(m_page)};
        return false;
    }
    for (qsizetype i = 0; i < placed.size(); ++i) {
        const LaidOutPageStore::Record& r = m_pageStandIns.at(i);
        const ReportPageSink::StandIn& at = placed.at(i);
        if (!m_standInStore->addDeferred(r.kind, r.texts, r.page, r.originY, r.sliceTop,
                                         r.sliceBottom, at.offset, at.length, at.rows))
            return storeFailed(*m_standInStore);
    }
    m_pageStandIns.clear();
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
    const QList<QString>* rowTexts = m_texts;
    m_texts = &texts;
    const bool drawn = draw(laidOut, y, 0, laidOut.height);
    m_texts = rowTexts;
    return drawn;
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
    if (m_store) {
        const ReportBand::Kind kind = band.band->kind;
        const bool kept = m_countsPages[kind] && m_texts
                              ? m_store->addDeferred(kind, *m_texts, m_page, originY, sliceTop,
                                                     sliceBottom >= band.height ? -1 : sliceBottom)
                              : m_store->addBand(band, originY, sliceTop, sliceBottom);
        return kept || storeFailed(*m_store);
    }
    if (m_drawStandIns && m_countsPages[band.band->kind] && m_texts) {
        m_sink->beginStandIn();
        const bool drawn = m_sink->drawBand(band, originY, sliceTop, sliceBottom);
        m_sink->endStandIn();
        if (!drawn)
            return sinkFailed();
        LaidOutPageStore::Record record;
        record.kind = band.band->kind;
        record.texts = *m_texts;
        record.page = m_page;
        record.originY = originY;
        record.sliceTop = sliceTop;
        record.sliceBottom = sliceBottom >= band.height ? -1 : sliceBottom;
        m_pageStandIns.append(std::move(record));
        return true;
    }
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

void ReportPaginator::fieldTexts(const ReportRowSource& row, const ReportValueFormatter& formatter,
                                 QList<QString>* texts) const
{
    const ReportBand& band = m_layout.band(ReportBand::Detail);
    texts->resize(band.elements.size());
    for (qsizetype i = 0; i < band.elements.size(); ++i) {
        const ReportElement& e = band.elements.at(i);
        if (e.kind == ReportElementKind::Field)
            formatter.formatField(row, e.field, e.format, (*texts)[i]);
    }
}

void ReportPaginator::rowTexts(ReportRowSource& source, QList<QString>* texts) const
{
    const ReportBand& band = m_layout.band(ReportBand::Detail);
    QList<QString>* ready = source.formattedRow();
    texts->resize(band.elements.size());
    for (qsizetype i = 0; i < band.elements.size(); ++i) {
        const ReportElement& e = band.elements.at(i);
        QString& text = (*texts)[i];
        if (e.kind == ReportElementKind::Label) {
            // A label without placeholders is the same text on every row.
            if (text.constData() != e.text.constData() || text.size() != e.text.size())
                text = substitute(e.text);
        } else if (e.kind == ReportElementKind::Field) {
            if (ready)
                text.swap((*ready)[i]);
            else
                m_formatter.formatField(source, e.field, e.format, text);
        } else {
            text.clear();
        }
    }
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

bool ReportPaginator::storeFailed(const LaidOutPageStore& store)
{
    m_error = store.error();
    return false;
}
