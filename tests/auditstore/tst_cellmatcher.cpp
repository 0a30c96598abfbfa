#include "CellMatcher.h"
#include "GridCellText.h"

#include <QTest>

// The byte-wise path must agree with the rule on the text the grid shows.
class TestCellMatcher : public QObject
{
    Q_OBJECT

private slots:
    void bytesAgreeWithShownText_data();
    void bytesAgreeWithShownText();
};

void TestCellMatcher::bytesAgreeWithShownText_data()
{
    QTest::addColumn<QString>("cell");
    const QStringList cells = {"Error in file",
                               "  ERR\t",
                               "err",
                               "two\r\nlines",
                               "two\nlines\r",
                               "\tline one\n",
                               "Überweisung an ERR",
                               "Kelvin \u212A",
                               "",
                               "eRr eRR"};
    for (const QString& cell : cells)
        QTest::newRow(qPrintable(QString(cell).replace('\n', "\\n").replace('\r', "\\r"))) << cell;
}

void TestCellMatcher::bytesAgreeWithShownText()
{
    QFETCH(QString, cell);
    const QByteArray stored = cell.toUtf8();
    const QString shown = GridCellText::oneLine(cell);
    const QStringList texts = {"err", "ERR", " err ",       "two lines",     "line one",
                               "o l", "k",   "überweisung", "Error in file", "rr e"};
    for (const QString& text : texts) {
        for (int flags = 0; flags < 4; ++flags) {
            const CellMatcher matcher(text, flags & 1, flags & 2);
            QVERIFY2(matcher.matchesStored(stored) == matcher.matches(shown),
                     qPrintable(QStringLiteral("'%1' case %2 whole %3")
                                    .arg(text)
                                    .arg(flags & 1)
                                    .arg(flags >> 1)));
        }
    }
}

QTEST_GUILESS_MAIN(TestCellMatcher)
#include "tst_cellmatcher.moc"
