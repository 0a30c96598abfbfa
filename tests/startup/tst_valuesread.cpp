#include "NumericText.h"
#include "Settings.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QtTest>

// How typed and stored values are read: one numeric grammar whose test and
// conversion agree, Booleans, and hand-edited settings read whole.
class tst_ValuesRead : public QObject
{
    Q_OBJECT

private slots:
    void numbers_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("number"); // NaN: not numeric
        QTest::addColumn<double>("leading");
        const double no = qQNaN();
        QTest::newRow("plain") << "en_US" << " 7 " << 7.0 << 7.0;
        QTest::newRow("decimal, exponent") << "en_US" << "7.5e1" << 75.0 << 75.0;
        QTest::newRow("group separator anywhere") << "en_US" << "1,5" << 15.0 << 1.0;
        QTest::newRow("decimal comma") << "de_DE" << "7,5" << 7.5 << 7.0;
        QTest::newRow("point groups beside decimal comma") << "de_DE" << "7.5" << 75.0 << 7.5;
        QTest::newRow("hexadecimal") << "en_US" << "&H1F" << 31.0 << 31.0;
        QTest::newRow("octal") << "en_US" << "&17" << 15.0 << 15.0;
        QTest::newRow("parentheses") << "en_US" << "(5)" << -5.0 << 0.0;
        QTest::newRow("trailing sign") << "en_US" << "5-" << -5.0 << 5.0;
        QTest::newRow("number then letter") << "en_US" << "7a" << no << 7.0;
        QTest::newRow("exponent without digits") << "en_US" << "1e" << no << 1.0;
        QTest::newRow("two signs") << "en_US" << "-5-" << no << -5.0;
        QTest::newRow("empty") << "en_US" << "" << no << 0.0;
        QTest::newRow("hex too long") << "en_US" << "&H123456789" << no << 4886718345.0;
    }

    void numbers()
    {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(double, number);
        QFETCH(double, leading);
        const QLocale l(locale);
        const auto value = NumericText::toNumber(text, l);
        QCOMPARE(NumericText::isNumeric(text, l), value.has_value());
        QCOMPARE(value.has_value(), !qIsNaN(number));
        if (value)
            QCOMPARE(*value, number);
        QCOMPARE(NumericText::leadingNumber(text), leading);
    }

    void settings_data()
    {
        QTest::addColumn<QByteArray>("line"); // as written in the file, "" : absent
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("boolean");
        QTest::addColumn<bool>("exactlyTrue");
        QTest::newRow("absent") << QByteArray() << "True" << true << true;
        QTest::newRow("True") << QByteArray("Key=True") << "True" << true << true;
        QTest::newRow("lower case") << QByteArray("Key=false") << "false" << false << false;
        QTest::newRow("one") << QByteArray("Key=1") << "1" << true << false;
        QTest::newRow("minus one") << QByteArray("Key=-1") << "-1" << true << false;
        QTest::newRow("zero") << QByteArray("Key=0") << "0" << false << false;
        QTest::newRow("a word keeps the default") << QByteArray("Key=yes") << "yes" << true << false;
        QTest::newRow("comma read whole")
            << QByteArray("Key=1,000") << "1,000" << true << false;
        QTest::newRow("comma and blank") << QByteArray("Key=1, 0") << "1, 0" << true << false;
    }

    // The value is read as written; the Boolean reading accepts what the
    // product's other programs write, the exact test only "True".
    void settings()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, text);
        QFETCH(bool, boolean);
        QFETCH(bool, exactlyTrue);
        TestEnvironment env;
        env.setSetting(QStringLiteral("Other"), QStringLiteral("x"));
        QFile file(SettingsFileName());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
        file.write("[General]\nOther=x\n" + line + "\n");
        file.close();
        const QString key = QStringLiteral("Key");
        QCOMPARE(GetSettingValue(key, QStringLiteral("True")), text);
        QCOMPARE(GetSettingBool(key, QStringLiteral("True")), boolean);
        QCOMPARE(GetSettingIsTrue(key, QStringLiteral("True")), exactlyTrue);
    }
};

QTEST_GUILESS_MAIN(tst_ValuesRead)
#include "tst_valuesread.moc"
