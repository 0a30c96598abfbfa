#pragma once

#include "ReportPageSink.h"
#include "ReportStreamWriter.h"

#include <QList>
#include <QString>

class QIODevice;
class ReportLayout;

// The plain-text back end: each page is a grid of characters (see
// CharacterGridMetrics) that reads like the printed page. Lines are drawn
// with "-" and "|", "+" where they meet; pages after the first begin with a
// form feed. The layout must be on the character grid
// (CharacterGridMetrics::snapLayout). Written as UTF-8, page by page, so only
// one page is ever held.
class TextPageSink : public ReportPageSink
{
public:
    TextPageSink(QIODevice* device, const ReportLayout& gridLayout);

    bool beginDocument(int pageCount) override;
    bool beginPage(int page) override;
    bool drawBand(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom) override;
    bool endPage() override;
    bool endDocument() override;

private:
    QString& row(int index);
    void put(int rowIndex, int column, QChar c);
    void putLine(int rowIndex, int column, QChar c);
    void putText(int rowIndex, int column, int width, ReportAlignment alignment,
                 const QString& text);
    bool flush(bool force);

    ReportStreamWriter m_out;
    int m_leftColumns;
    int m_pageColumns;
    QList<QString> m_rows;
    int m_page = 0;
};
