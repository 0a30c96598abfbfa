#pragma once

#include "ReportBand.h"

#include <QDateTime>
#include <QLocale>
#include <QSize>
#include <QString>
#include <array>
#include <functional>

class ReportProgress;
class ReportRowSource;

// A banded report layout as data: five bands in print order (report header,
// page header, detail, page footer, report footer) and the run-time settings a
// report routine gives it before rendering (data source, margins, title).
class ReportLayout
{
public:
    // Called with the number and description of a failure while rendering.
    using ErrorHandler = std::function<void(int number, const QString& description)>;

    // US Letter in twips: the layouts are designed for 8.5 by 11 inch paper.
    static constexpr QSize LetterSize{12240, 15840};

    ReportLayout();
    explicit ReportLayout(const QString& name);

    QString name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }

    const ReportBand& band(ReportBand::Kind kind) const { return m_bands[kind]; }
    ReportBand& band(ReportBand::Kind kind) { return m_bands[kind]; }
    // The rightmost edge of any element, in twips.
    int designWidth() const;

    // The rows to print; not owned.
    ReportRowSource* dataSource() const { return m_dataSource; }
    void setDataSource(ReportRowSource* source) { m_dataSource = source; }

    // Told of the rendering's progress, and asked whether to stop; none
    // unless set. Not owned.
    ReportProgress* progress() const { return m_progress; }
    void setProgress(ReportProgress* progress) { m_progress = progress; }

    // Page margins in twips.
    int leftMargin() const { return m_leftMargin; }
    int topMargin() const { return m_topMargin; }
    int rightMargin() const { return m_rightMargin; }
    int bottomMargin() const { return m_bottomMargin; }
    void setLeftMargin(int twips) { m_leftMargin = twips; }
    void setTopMargin(int twips) { m_topMargin = twips; }
    void setRightMargin(int twips) { m_rightMargin = twips; }
    void setBottomMargin(int twips) { m_bottomMargin = twips; }
    void setMargins(int twips);

    // Paper size in twips (portrait); Letter unless set.
    QSize paperSize() const { return m_paperSize; }
    void setPaperSize(const QSize& twips) { m_paperSize = twips; }

    // The title that %i prints, and the caption of the preview window.
    QString title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    QString caption() const { return m_caption; }
    void setCaption(const QString& caption) { m_caption = caption; }

    // Dates, times and numbers are written in this locale (the system's unless set).
    QLocale locale() const { return m_locale; }
    void setLocale(const QLocale& locale) { m_locale = locale; }
    // The time %d and %t print; when not valid, the time the rendering starts.
    QDateTime printTime() const { return m_printTime; }
    void setPrintTime(const QDateTime& time) { m_printTime = time; }

    // The layout's error handler: layouts with a prefix handle rendering
    // failures; the message is prefix & number & " - " & description.
    QString errorPrefix() const { return m_errorPrefix; }
    void setErrorPrefix(const QString& prefix) { m_errorPrefix = prefix; }
    bool hasErrorHandler() const { return !m_errorPrefix.isEmpty(); }
    QString errorMessage(int number, const QString& description) const;
    // The function that shows the handler's message (the report routines pass
    // one that calls the program's message function unless the run is
    // unattended).
    void setErrorHandler(ErrorHandler handler) { m_errorHandler = std::move(handler); }
    // Called by the renderers on a failure: passes it to the error handler
    // when the layout has one; a layout without a handler ignores it.
    void raiseError(int number, const QString& description) const;

private:
    QString m_name;
    std::array<ReportBand, ReportBand::KindCount> m_bands;
    ReportRowSource* m_dataSource = nullptr;
    ReportProgress* m_progress = nullptr;
    int m_leftMargin = 1440;
    int m_topMargin = 1440;
    int m_rightMargin = 1440;
    int m_bottomMargin = 1440;
    QSize m_paperSize = LetterSize;
    QString m_title;
    QString m_caption;
    QLocale m_locale; // the default locale (the system's unless a test sets one)
    QDateTime m_printTime;
    QString m_errorPrefix;
    ErrorHandler m_errorHandler;
};
