#pragma once

#include "AuditError.h"
#include "LaidOutBand.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

class QTemporaryFile;
class ReportLayout;

// The pages of a report as laid out, kept compactly until the page count is
// known: page starts and ends, bands with their positions and lines of text,
// and bands whose texts wait for the page count (kept as their texts, laid out
// again when played back). Memory stays small: beyond a few megabytes the
// records go to a temporary file in the run's private folder.
class LaidOutPageStore
{
public:
    struct Record
    {
        enum Type
        {
            BeginPage,
            Band,     // band holds the laid-out band
            Deferred, // kind and texts: a band to lay out again
            EndPage
        };
        Type type = BeginPage;
        int page = 0;
        int originY = 0;
        int sliceTop = 0;
        int sliceBottom = 0;
        ReportBand::Kind kind = ReportBand::Detail;
        LaidOutBand band;
        QList<QString> texts;
        // A deferred band drawn as a stand-in: where its bytes went.
        qint64 offset = 0;
        qint64 length = 0;
        int rows = 0;
    };

    explicit LaidOutPageStore(const ReportLayout& layout);
    ~LaidOutPageStore();
    LaidOutPageStore(const LaidOutPageStore&) = delete;
    LaidOutPageStore& operator=(const LaidOutPageStore&) = delete;

    bool addBeginPage(int page);
    bool addBand(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom);
    bool addDeferred(ReportBand::Kind kind, const QList<QString>& texts, int page, int originY,
                     int sliceTop, int sliceBottom, qint64 offset = 0, qint64 length = 0,
                     int rows = 0);
    bool addEndPage();

    // Reading back from the first record. The texts of a record read by next()
    // stay valid until the following call of next().
    bool rewind();
    // False at the end, or on a read failure (error() then says so).
    bool next(Record* record);

    AuditError error() const { return m_error; }

private:
    void putInt(int value);
    void putInt64(qint64 value);
    void putText(const QString& text);
    void beginRecord(Record::Type type);
    bool endRecord();
    bool spill();
    bool fill(qsizetype needed);
    int takeInt();
    qint64 takeInt64();
    QString takeText();
    bool fail(int number, const QString& description);

    const ReportLayout& m_layout;
    QByteArray m_buffer;
    qsizetype m_recordStart = 0;
    std::unique_ptr<QTemporaryFile> m_file;
    // Reading: m_buffer holds the unread part from m_readPos on.
    qsizetype m_readPos = 0;
    bool m_fromFile = false;
    AuditError m_error;
};
