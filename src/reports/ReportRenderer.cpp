#include "ReportRenderer.h"

#include "ArialMetrics.h"
#include "CharacterGridMetrics.h"
#include "HtmlPageSink.h"
#include "PainterPageSink.h"
#include "ReportLayout.h"
#include "ReportOutputError.h"
#include "ReportPaginator.h"
#include "ReportRowSource.h"
#include "TextPageSink.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>

#include <cerrno>

namespace {

QPageSize pageSizeOf(const ReportLayout& layout)
{
    if (layout.paperSize() == ReportLayout::LetterSize)
        return QPageSize(QPageSize::Letter);
    const QSizeF inches(layout.paperSize().width() / 1440.0, layout.paperSize().height() / 1440.0);
    return QPageSize(inches, QPageSize::Inch);
}

// Renders with both passes: the first counts the pages, the second draws.
bool renderPages(const ReportLayout& layout, const ReportTextMetrics& metrics, ReportPageSink& sink,
                 int* pages, AuditError* error)
{
    ReportRowSource* source = layout.dataSource();
    if (!source) {
        *error = {ReportErrorNumber::InvalidArgument,
                  QStringLiteral("The report has no data source.")};
        return false;
    }
    ReportPaginator counter(layout, metrics);
    if (!counter.run(*source, nullptr, 0)) {
        source->finish();
        *error = counter.error();
        return false;
    }
    ReportPaginator paginator(layout, metrics);
    const bool ok = paginator.run(*source, &sink, counter.pages());
    source->finish();
    *pages = paginator.pages();
    if (!ok)
        *error = paginator.error();
    return ok;
}

} // namespace

ReportRenderer::ReportRenderer(ReportLayout& layout) : m_layout(layout) {}

std::optional<ReportFormat> ReportRenderer::formatForKey(const QString& key)
{
    if (key == FormatKeyText)
        return ReportFormat::Text;
    if (key == FormatKeyHtml)
        return ReportFormat::Html;
    return std::nullopt;
}

bool ReportRenderer::exportReport(const QString& formatKey, const QString& fileName)
{
    const auto format = formatForKey(formatKey);
    if (!format)
        return fail(ReportErrorNumber::InvalidArgument,
                    QStringLiteral("Unknown export format \"%1\".").arg(formatKey));
    return exportReport(*format, fileName);
}

bool ReportRenderer::exportReport(ReportFormat format, const QString& fileName)
{
    QSaveFile file(fileName);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        const AuditError error = ReportOutputError::ofOpen(&file, fileName);
        return fail(error.number, error.description);
    }
    const bool written = format == ReportFormat::Html ? writeHtml(&file) : writeText(&file);
    if (!written) {
        file.cancelWriting();
        return false;
    }
    errno = 0;
    if (!file.commit()) {
        const AuditError error = ReportOutputError::ofClose(&file, fileName, errno);
        return fail(error.number, error.description);
    }
    return true;
}

bool ReportRenderer::writeText(QIODevice* device)
{
    const ReportLayout grid = CharacterGridMetrics::snapLayout(m_layout);
    const CharacterGridMetrics metrics;
    TextPageSink sink(device, grid);
    AuditError error;
    m_pageCount = 0;
    if (!renderPages(grid, metrics, sink, &m_pageCount, &error))
        return fail(error.number, error.description);
    return true;
}

bool ReportRenderer::writeHtml(QIODevice* device)
{
    const ArialMetrics metrics;
    HtmlPageSink sink(device, m_layout);
    AuditError error;
    m_pageCount = 0;
    if (!renderPages(m_layout, metrics, sink, &m_pageCount, &error))
        return fail(error.number, error.description);
    return true;
}

bool ReportRenderer::paint(QPagedPaintDevice* device)
{
    const ArialMetrics metrics;
    PainterPageSink sink(device, m_layout);
    AuditError error;
    m_pageCount = 0;
    if (!renderPages(m_layout, metrics, sink, &m_pageCount, &error))
        return fail(error.number, error.description);
    return true;
}

bool ReportRenderer::writePdf(const QString& fileName)
{
    QSaveFile file(fileName);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        const AuditError error = ReportOutputError::ofOpen(&file, fileName);
        return fail(error.number, error.description);
    }
    {
        QPdfWriter writer(&file);
        writer.setTitle(m_layout.title());
        writer.setPageLayout(
            QPageLayout(pageSizeOf(m_layout), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        if (!paint(&writer)) {
            file.cancelWriting();
            return false;
        }
    }
    errno = 0;
    if (!file.commit()) {
        const AuditError error = ReportOutputError::ofClose(&file, fileName, errno);
        return fail(error.number, error.description);
    }
    return true;
}

bool ReportRenderer::fail(int number, const QString& description)
{
    m_lastError = {number, description};
    m_layout.raiseError(number, description);
    return false;
}
