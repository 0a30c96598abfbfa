#include "ReportRenderer.h"

#include "ArialMetrics.h"
#include "CharacterGridMetrics.h"
#include "HtmlPageSink.h"
#include "OutputFile.h"
#include "PainterPageSink.h"
#include "PdfPageSink.h"
#include "PrivateTempFolder.h"
#include "ReportLayout.h"
#include "ReportOutputError.h"
#include "ReportPaginator.h"
#include "ReportProgress.h"
#include "ReportRowSource.h"
#include "TextPageSink.h"

#include <QSaveFile>
#include <QTemporaryFile>
#include <cerrno>
#include <sys/stat.h>

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
    return exportReport(format, [this, &fileName](QFileDevice& file, OutputPatches& patches) {
        AuditError error;
        if (OutputFile::copyInto(file, fileName, error, &patches, m_syncOutput, true))
            return true;
        return fail(error.number, error.description);
    });
}

bool ReportRenderer::exportReport(ReportFormat format, const Delivery& deliver)
{
    // Rendered whole into a private temporary file first: a failed or cancelled
    // render leaves the named file untouched.
    QTemporaryFile file;
    if (!openRenderFile(file))
        return false;
    // Pages are written as they are laid out; the page count replaces its
    // stand-ins in the copy.
    if (format == ReportFormat::Html) {
        const ArialMetrics metrics;
        HtmlPageSink sink(&file, m_layout);
        ReportPaginator paginator(m_layout, metrics);
        paginator.setStandIns(true);
        return render(paginator, sink, m_layout) && finish(file) && deliver(file, paginator);
    }
    const ReportLayout grid = CharacterGridMetrics::snapLayout(m_layout);
    const CharacterGridMetrics metrics;
    TextPageSink sink(&file, grid);
    ReportPaginator paginator(grid, metrics);
    paginator.setStandIns(true);
    return render(paginator, sink, grid, true) && finish(file) && deliver(file, paginator);
}

bool ReportRenderer::finish(QFileDevice& file)
{
    errno = 0;
    // A text of a selection without rows is empty.
    if ((m_pageCount == 0 && !file.resize(0)) || !file.flush()) {
        const AuditError error = ReportOutputError::ofWrite(&file, errno);
        return fail(error.number, error.description);
    }
    return true;
}

// One read of the rows; the progress counts them up (their number is not known
// before the last one). With nothingWithoutRows a selection without rows draws
// nothing at all, not even a page header.
bool ReportRenderer::render(ReportPaginator& paginator, ReportPageSink& sink,
                            const ReportLayout& layout, bool nothingWithoutRows)
{
    m_pageCount = 0;
    m_cancelled = false;
    ReportRowSource* source = layout.dataSource();
    if (!source)
        return fail(ReportErrorNumber::InvalidArgument,
                    QStringLiteral("The report has no data source."));
    ReportProgress* progress = layout.progress();
    if (progress)
        progress->begin(0);
    const bool ok = paginator.run(*source, sink, nothingWithoutRows);
    m_pageCount = paginator.pages();
    const AuditError error = paginator.error();
    if (ok && progress)
        progress->step(paginator.rows());
    source->finish();
    if (progress)
        progress->end();
    if (ok)
        return true;
    if (error.number == ReportErrorNumber::Cancelled) {
        m_cancelled = true;
        m_lastError = error;
        return false;
    }
    return fail(error.number, error.description);
}

bool ReportRenderer::writeText(QIODevice* device)
{
    const ReportLayout grid = CharacterGridMetrics::snapLayout(m_layout);
    const CharacterGridMetrics metrics;
    TextPageSink sink(device, grid);
    ReportPaginator paginator(grid, metrics);
    // An empty text export, so that the mail branch sees "nothing to report"
    // as it does for HTML.
    return render(paginator, sink, grid, true);
}

bool ReportRenderer::writeHtml(QIODevice* device)
{
    const ArialMetrics metrics;
    HtmlPageSink sink(device, m_layout);
    ReportPaginator paginator(m_layout, metrics);
    return render(paginator, sink, m_layout);
}

bool ReportRenderer::paint(QPagedPaintDevice* device)
{
    const ArialMetrics metrics;
    PainterPageSink sink(device, m_layout);
    ReportPaginator paginator(m_layout, metrics);
    return render(paginator, sink, m_layout);
}

bool ReportRenderer::openRenderFile(QTemporaryFile& file)
{
    QString folderError;
    const QString folder = PrivateTempFolder::path(&folderError);
    if (folder.isEmpty())
        return fail(ReportErrorNumber::FileAccess, folderError);
    file.setFileTemplate(folder + QStringLiteral("/render-XXXXXX"));
    if (!file.open()) {
        const AuditError error = ReportOutputError::ofOpen(&file, file.fileTemplate());
        return fail(error.number, error.description);
    }
    return true;
}

bool ReportRenderer::writePdf(const QString& fileName)
{
    const auto renderInto = [this](QIODevice* device) {
        const ArialMetrics metrics;
        PdfPageSink sink(device, m_layout);
        ReportPaginator paginator(m_layout, metrics);
        return render(paginator, sink, m_layout);
    };
    // A FIFO or a device (also behind a link) is written into, never replaced
    // by a file: the PDF is rendered whole first, then copied into it.
    struct stat info = {};
    if (::stat(QFile::encodeName(fileName).constData(), &info) == 0 && !S_ISREG(info.st_mode) &&
        !S_ISDIR(info.st_mode)) {
        QTemporaryFile rendered;
        if (!openRenderFile(rendered) || !renderInto(&rendered))
            return false;
        AuditError error;
        if (!rendered.flush())
            error = ReportOutputError::ofWrite(&rendered, errno);
        else if (OutputFile::copyInto(rendered, fileName, error, nullptr, true, true))
            return true;
        return fail(error.number, error.description);
    }
    // Anything else is replaced only once the PDF is whole.
    QSaveFile file(fileName);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        const AuditError error = ReportOutputError::ofOpen(&file, fileName);
        return fail(error.number, error.description);
    }
    if (!renderInto(&file)) {
        file.cancelWriting();
        return false;
    }
    return commit(file, fileName);
}

bool ReportRenderer::fail(int number, const QString& description)
{
    m_lastError = {number, description};
    m_layout.raiseError(number, description);
    return false;
}

bool ReportRenderer::commit(QSaveFile& file, const QString& fileName)
{
    // The finished file replaces any older one only now; a failure leaves the older one.
    errno = 0;
    if (!file.commit()) {
        const AuditError error = ReportOutputError::ofClose(&file, fileName, errno);
        return fail(error.number, error.description);
    }
    return true;
}
