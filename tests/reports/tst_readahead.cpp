#include "MemoryRowSource.h"
#include "PrefetchRowSource.h"

#include <QtTest>
#include <atomic>

namespace {

// Rows of a number, a text, a real number and a null, with raw() as the
// database sources give it; it can fail at a row, and it notes a read made
// while the test says the reading is held.
class TypedRows : public MemoryRowSource
{
public:
    TypedRows(int rows, int failAt) : m_failAt(failAt)
    {
        setFields({"N", "Text", "Real", "Nothing"});
        for (int i = 0; i < rows; ++i)
            addRow({qlonglong(i) - 3, QString("räd %1").arg(i).repeated(i % 5), i / 4.0, {}});
    }
    bool start(QString* error) override
    {
        m_read = 0;
        return MemoryRowSource::start(error);
    }
    bool next() override
    {
        if (held)
            readWhileHeld = true;
        if (++m_read == m_failAt)
            return false;
        return MemoryRowSource::next();
    }
    AuditRows::Raw raw(const QString& field) const override
    {
        const QVariant v = value(field);
        if (v.typeId() == QMetaType::LongLong)
            return {AuditRows::Raw::Integer, {}, v.toLongLong()};
        if (v.typeId() == QMetaType::QString) {
            m_text = v.toString().toUtf8();
            return {AuditRows::Raw::Text, m_text, 0};
        }
        return v.isNull() ? AuditRows::Raw{AuditRows::Raw::Null, {}, 0} : AuditRows::Raw{};
    }
    QString lastError() const override { return m_read >= m_failAt ? "disk I/O error" : ""; }
    std::atomic<bool> held = false;
    bool readWhileHeld = false;

private:
    int m_failAt;
    int m_read = 0;
    mutable QByteArray m_text;
};

QString rowText(const ReportRowSource& rows, const QStringList& fields)
{
    QString text;
    for (const QString& f : fields) {
        const AuditRows::Raw raw = rows.raw(f);
        text += QString("%1:%2/%3|").arg(int(raw.kind)).arg(QString::fromUtf8(raw.text)).arg(
            rows.value(f).toString());
    }
    return text;
}

} // namespace

// The rows read on a second thread, and their texts made there, are the rows of
// the source below, in order, with its error at the end; a held reader leaves
// the source alone.
class tst_ReadAhead : public QObject
{
    Q_OBJECT

private slots:
    void sameRows_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("failAt");
        QTest::newRow("none") << 0 << -1;
        QTest::newRow("one batch exactly") << 256 << -1;
        QTest::newRow("more than the batches ahead") << 3001 << -1;
        QTest::newRow("failing after a batch") << 3001 << 300;
    }

    void sameRows()
    {
        QFETCH(int, rows);
        QFETCH(int, failAt);
        TypedRows direct(rows, failAt), below(rows, failAt);
        PrefetchRowSource ahead(below);
        const QStringList fields = direct.fields();
        ahead.setFieldsToRead(fields);
        ahead.setRowFormatter([&fields](const ReportRowSource& row, QList<QString>* texts) {
            *texts = {rowText(row, fields)};
        });
        for (int pass = 0; pass < 2; ++pass) { // a preview's repaint reads again
            QVERIFY(direct.start(nullptr) && ahead.start(nullptr));
            int read = 0;
            int formatted = 0;
            while (direct.next()) {
                QVERIFY(ahead.next());
                QCOMPARE(rowText(ahead, fields), rowText(direct, fields));
                // Made by the reader once it is ahead; left to the consumer before.
                if (const QList<QString>* texts = ahead.formattedRow()) {
                    QCOMPARE(texts->value(0), rowText(direct, fields));
                    ++formatted;
                }
                if (read == 0)
                    QThread::msleep(50); // a slow consumer: the reader gets ahead
                // Held just after a batch was given back, when the reader has room.
                if (++read % 256 == 1) {
                    ahead.holdReading(true);
                    below.held = true;
                    QThread::usleep(500);
                    below.held = false;
                    ahead.holdReading(false);
                }
            }
            QVERIFY(!ahead.next());
            QCOMPARE(ahead.lastError(), direct.lastError());
            if (read > 2000)
                QVERIFY(formatted > 0 && formatted < read);
        }
        QVERIFY(!below.readWhileHeld);
    }

    void stopsEarly()
    {
        TypedRows below(100000, -1);
        PrefetchRowSource ahead(below);
        ahead.setFieldsToRead(below.fields());
        QVERIFY(ahead.start(nullptr) && ahead.next());
        ahead.finish();
        QVERIFY(!ahead.next());
        QVERIFY(ahead.start(nullptr) && ahead.next());
        QCOMPARE(ahead.raw("n").integer, -3);
    }
};

QTEST_GUILESS_MAIN(tst_ReadAhead)
#include "tst_readahead.moc"
