#pragma once

#include "AuditError.h"

#include <QString>
#include <functional>
#include <optional>

class OutputPatches;
class QFileDevice;
class QIODevice;
class QPagedPaintDevice;
class ReportLayout;
class ReportPageSink;
class ReportPaginator;

// Export format keys, as the report routines pass them.
inline const QString FormatKeyText = QStringLiteral("key_def_Text");
inline const QString FormatKeyHtml = QStringLiteral("key_def_HTML");

enum class ReportFormat
{
    Text,
    Html
};

// Failure numbers raised while rendering (a data source failure keeps the
// number the database gave it).
namespace ReportErrorNumber {
constexpr int InvalidArgument = 5; // unknown format key, no data source
constexpr int DeviceError = 57;    // a write or close failed
constexpr int DiskFull = 61;       // no space left for the output
constexpr int FileAccess = 75;     // the output file cannot be created
constexpr int PrinterError = 482;  // the paint device cannot be painted on
constexpr int DataSource = 1;      // the rows could not be read (no number given)
constexpr int Cancelled = 18;      // the operator stopped the run
} // namespace ReportErrorNumber

// Renders a bound layout (its data source, margins and title set) to a paint
// device, a PDF, a text file or an HTML file. Every renderer reads the rows
// once, and memory stays the same however many rows there are. A file export
// writes each page as it is laid out, with a stand-in where the page count
// ("Page %p of %P") goes, filled in as the render is copied into the named
// file; the other renderers keep pages that print the count as laid out until
// it is known (ReportPaginator).
//
// A failure returns false, is kept in lastError() and goes to the layout's
// error handler. The layout's progress (when set) hears of the rows read, and a
// cancelled progress stops the render: false with cancelled() set, which is
// no failure and reaches no error handler. A file export renders into a private temporary file
// and only then writes the result into the named file (OutputFile): a failed or cancelled render
// leaves the named file as it was. A PDF goes to a temporary file next to the target, renamed
// over it when complete.
class ReportRenderer
{
public:
    explicit ReportRenderer(ReportLayout& layout);

    // "key_def_Text" and "key_def_HTML"; nullopt for any other key.
    static std::optional<ReportFormat> formatForKey(const QString& key);

    bool exportReport(const QString& formatKey, const QString& fileName);
    bool exportReport(ReportFormat format, const QString& fileName);
    // The finished render and its patches, to be read (PatchedReader) or
    // copied: true when delivered. A delivery that fails says why itself.
    using Delivery = std::function<bool(QFileDevice& rendered, OutputPatches& patches)>;
    bool exportReport(ReportFormat format, const Delivery& deliver);
    // Whether an export syncs the named file to disk before it returns (off
    // by default: needed where entries are deleted once they are reported).
    void setSyncOutput(bool sync) { m_syncOutput = sync; }

    // Streaming writers (UTF-8) to an open device. Text of a selection without
    // rows is empty; HTML keeps its page (the mail branch tests it for rows).
    bool writeText(QIODevice* device);
    bool writeHtml(QIODevice* device);

    // Paints every page on the device (a QPdfWriter, a QPrinter), twips mapped
    // exactly from the paper's corner; the device's page size is used as it is.
    bool paint(QPagedPaintDevice* device);
    // Writes a PDF of the layout's paper size.
    bool writePdf(const QString& fileName);

    // Pages of the last render.
    int pageCount() const { return m_pageCount; }
    AuditError lastError() const { return m_lastError; }
    // Whether the last render stopped because its progress was cancelled.
    bool cancelled() const { return m_cancelled; }

private:
    bool render(ReportPaginator& paginator, ReportPageSink& sink, const ReportLayout& layout,
                bool nothingWithoutRows = false);
    bool finish(QFileDevice& file);
    bool fail(int number, const QString& description);
    // Opens a private temporary file to render into.
    bool openRenderFile(class QTemporaryFile& file);
    bool commit(class QSaveFile& file, const QString& fileName);

    ReportLayout& m_layout;
    int m_pageCount = 0;
    AuditError m_lastError;
    bool m_cancelled = false;
    bool m_syncOutput = false;
};
