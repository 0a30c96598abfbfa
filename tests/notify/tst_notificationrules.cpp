#include "NotificationRules.h"
#include "NotificationStrings.h"
#include "RuleListEdit.h"
#include "RuleText.h"
#include "ZlkApi.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace NotificationRules;

namespace {

// The real zlk store, with every write it receives recorded as "key=value".
class RecordingStrings : public NotificationStrings
{
public:
    bool set(const QString& section, const QString& key, const QString& value,
             QString& error) override
    {
        writes.append(section.isEmpty() ? QStringLiteral("<commit>")
                                        : section + QLatin1Char('/') + key + '=' + value);
        return NotificationStrings::set(section, key, value, error);
    }
    QStringList writes;
};

const QStringList Prefixes = {"Report Type-", "Report Level-", "Error Number-",
                              "Exclude Error Number-", "Application-", "Exclude Application-",
                              "Send To Email Address-", "Email Subject-", "ReportSortBy1-",
                              "ReportSortBy2-", "ReportSortBy3-", "AccumulateTime-",
                              "AccumulateType-", "HTML-"};

} // namespace

class tst_NotificationRules : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        Zlk::setSystemFolder(m_dir->path());
    }

    // A fresh store read and saved at once: every rule key written empty, in slot
    // and field order, then the sizes, "Reloaded" and the commit. A slot with an
    // address is written as it stands; the next load gives back the same texts.
    void saveWritesExactSequence()
    {
        RecordingStrings store;
        RuleSet rules = LoadNotificationRules(store);
        QCOMPARE(rules.cells[24], (std::array<QString, FieldCount>{
                                      "", "12", "", "9999", "", "", "", "", "When", "User",
                                      "AutoIndex", "60", "Hourly", "False"}));
        rules.cells[1][SendTo - 1] = "  ops@example.com  ";
        rules.cells[2][Subject - 1] = "no address: erased";
        rules.sizes[1] = "12 bytes"; // written as typed, read back as its leading number
        rules.sizes[2] = "abc";
        QString error;
        QVERIFY2(SaveNotificationRules(rules, store, error), qPrintable(error));

        QStringList expected;
        for (int slot = 1; slot <= 25; ++slot)
            for (int field = 0; field < 14; ++field)
                expected.append("Audit Email/" + Prefixes[field] + QString::number(slot) + '=' +
                                (slot == 2 ? rules.cells[1][size_t(field)] : QString()));
        expected << "Audit Email/txtAttach=1000" << "Audit Email/txtZip=12 bytes"
                 << "Audit Email/txtAbortAttach=abc" << "Audit Email/Reloaded=TRUE" << "<commit>";
        QCOMPARE(store.writes, expected);

        const RuleSet again = LoadNotificationRules(store);
        QCOMPARE(again.cells[1][SendTo - 1], "ops@example.com  "); // leading blanks lost
        QCOMPARE(again.cells[1][SortBy3 - 1], "AutoIndex");
        QCOMPARE(again.cells[2][Subject - 1], ""); // stored empty, not the default
        QCOMPARE(again.cells[2][ReportLevel - 1], "");
        QCOMPARE(again.sizes[1], "12");
        QCOMPARE(again.sizes[2], "0");
        QCOMPARE(Zlk::getNotificationString(Section, "Reloaded", ""), "TRUE");
    }

    void dailyTime_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QTime>("time");
        QTest::newRow("24-hour") << "08:30:00" << QTime(8, 30);
        QTest::newRow("12-hour morning") << "8:30:00 AM" << QTime(8, 30);
        QTest::newRow("12-hour midnight") << "12:15:00 am" << QTime(0, 15);
        QTest::newRow("12-hour without seconds") << "9:45 PM" << QTime(21, 45);
        QTest::newRow("unreadable") << "tea time" << QTime();
    }

    void dailyTime()
    {
        QFETCH(QString, text);
        QFETCH(QTime, time);
        QCOMPARE(RuleText::dailyTimeFromText(text), time);
        if (time.isValid())
            QCOMPARE(RuleText::dailyTimeFromText(RuleText::dailyTimeText(time)), time);
    }

    void listHandlers_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("selectedAfter");
        QTest::addColumn<QString>("textAfter");
        QTest::addColumn<QString>("message");
        const QString numeric = "Error Number must be numeric";
        const QString system = "9999 is a required system exclusion to prevent automatically "
                               "emailing, email errors";
        const int app = RuleListEdit::ApplicationInclude, inc = RuleListEdit::ErrorInclude,
                  exc = RuleListEdit::ErrorExclude;
        const QStringList abc = {"A", "B", "C"};
        auto row = [](const char* name, int kind, QStringList entries, int selected, QString text,
                      QString action, QStringList after, int selectedAfter, QString textAfter,
                      QString message = {}) {
            QTest::newRow(name) << kind << entries << selected << text << action << after
                                << selectedAfter << textAfter << message;
        };
        row("add selects the duplicate", app, abc, 0, "B", "add", abc, 1, "B");
        row("letter case differs", app, abc, 0, "b", "add", abc + QStringList{"b"}, 3, "b");
        row("add empty to applications", app, abc, 0, "", "add", abc, 0, "");
        row("add empty error number", inc, {}, -1, "", "add", {}, -1, "", numeric);
        row("add number and letter", inc, {"1"}, 0, "7a", "add", {"1"}, 0, "7a", numeric);
        row("include takes 9999", inc, {}, -1, "9999", "add", {"9999"}, 0, "9999");
        row("update to a duplicate", app, abc, 0, "C", "update", {"B", "C"}, 1, "C");
        row("update replaces", app, abc, 1, "X", "update", {"A", "C", "X"}, 2, "X");
        row("update 9999", exc, {"9999", "5"}, 0, "17", "update", {"9999", "5"}, 0, "17", system);
        row("delete 9999", exc, {"9999"}, 0, "9999", "remove", {"9999"}, 0, "9999", system);
        row("delete the last", app, abc, 2, "C", "remove", {"A", "B"}, 1, "B");
        row("delete the first", app, abc, 0, "A", "remove", {"B", "C"}, 0, "B");
        row("delete the only", app, {"A"}, 0, "A", "remove", {}, -1, "");
        row("delete after editing the box", app, abc, 0, "A2", "remove", abc, 0, "A2");
    }

    void listHandlers()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, entries);
        QFETCH(int, selected);
        QFETCH(QString, text);
        QFETCH(QString, action);
        RuleListEdit edit{RuleListEdit::Kind(kind), entries, selected, text};
        const QString message = action == "add"      ? edit.add()
                                : action == "update" ? edit.update()
                                                     : edit.remove();
        QTEST(message, "message");
        QTEST(edit.entries, "after");
        QTEST(edit.selected, "selectedAfter");
        QTEST(edit.text, "textAfter");
    }

    void listStates_data()
    {
        QTest::addColumn<int>("include");
        QTest::addColumn<int>("exclude");
        QTest::addColumn<int>("threshold");
        QTest::addColumn<QString>("includeSide"); // entry, add, update, delete, list as 1/0
        QTest::addColumn<QString>("excludeSide");
        QTest::newRow("only 9999 excluded") << 0 << 1 << 1 << "11111" << "11111";
        QTest::newRow("17 included beside 9999") << 1 << 1 << 1 << "11111" << "00000";
        QTest::newRow("both sides filled") << 1 << 2 << 1 << "00011" << "00011";
        QTest::newRow("more excluded") << 0 << 2 << 1 << "00000" << "11111";
        QTest::newRow("one application excluded") << 0 << 1 << 0 << "00000" << "11111";
        QTest::newRow("no applications") << 0 << 0 << 0 << "11111" << "11111";
    }

    void listStates()
    {
        QFETCH(int, include);
        QFETCH(int, exclude);
        QFETCH(int, threshold);
        auto bits = [](const RuleListSideState& s) {
            return QString("%1%2%3%4%5")
                .arg(s.entry).arg(s.add).arg(s.update).arg(s.remove).arg(s.list);
        };
        const RuleListStates states = ListStates(include, exclude, threshold);
        QTEST(bits(states.include), "includeSide");
        QTEST(bits(states.exclude), "excludeSide");
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(tst_NotificationRules)
#include "tst_notificationrules.moc"
