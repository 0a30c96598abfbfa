#include "KeySequence.h"

#include <QtTest>

// The kept keys read back as a plain list would, after appends and removals
// across block edges, whether they step evenly or not.
class tst_KeySequence : public QObject
{
    Q_OBJECT

private slots:
    void matchesList_data()
    {
        QTest::addColumn<QVector<qint64>>("keys");
        QTest::addColumn<QList<qsizetype>>("removals"); // rows removed in turn
        const qsizetype n = 3 * KeySequence::BlockRows + 5;
        QVector<qint64> newest, gaps, shuffled;
        for (qsizetype i = 0; i < n; ++i) {
            newest.append(n - i);
            gaps.append(i * 2 + (i > KeySequence::BlockRows + 7 ? 1 : 0));
            shuffled.append((i * 7919) % n);
        }
        const QList<qsizetype> edges{0, KeySequence::BlockRows - 1, KeySequence::BlockRows,
                                     KeySequence::BlockRows + 3, n - 5};
        QTest::newRow("newest first") << newest << edges;
        QTest::newRow("a gap mid-block") << gaps << edges;
        QTest::newRow("no order") << shuffled << edges;
        QTest::newRow("one key") << QVector<qint64>{42} << QList<qsizetype>{0};
    }

    void matchesList()
    {
        QFETCH(QVector<qint64>, keys);
        QFETCH(QList<qsizetype>, removals);
        KeySequence sequence;
        sequence.append(keys.mid(0, 10));
        sequence.append(keys.mid(10));
        auto same = [&] {
            QCOMPARE(sequence.size(), keys.size());
            for (qsizetype row = 0; row < keys.size(); ++row) {
                QCOMPARE(sequence.value(row), keys.at(row));
                QCOMPARE(sequence.indexOf(keys.at(row), row), row);
            }
            QCOMPARE(sequence.indexOf(-7), -1);
            QCOMPARE(sequence.value(keys.size(), -1), -1);
        };
        same();
        QVERIFY(!QTest::currentTestFailed());
        for (qsizetype row : removals) {
            sequence.remove(row);
            keys.remove(row);
            same();
            QVERIFY(!QTest::currentTestFailed());
        }
        sequence.append(keys.isEmpty() ? 1 : keys.last() + 1);
        keys.append(keys.isEmpty() ? 1 : keys.last() + 1);
        same();
    }
};

QTEST_GUILESS_MAIN(tst_KeySequence)
#include "tst_keysequence.moc"
