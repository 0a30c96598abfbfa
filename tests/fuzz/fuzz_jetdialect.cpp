// The translation of the program's SQL texts. Text without '#' outside quotes
// comes out as it went in (a leading "DELETE x.* FROM" aside); a translated
// text has no '#' left outside quotes; a refused one says why, in both dialects.
#include "FuzzCheck.h"
#include "JetDialect.h"
#include "PostgresDialect.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

// The text with quoted strings and bracketed names removed, by the
// translation's own rules (a doubled quote stays inside; an open one runs on).
QString outsideQuotes(const QString& sql)
{
    QString out;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        const QChar closing = c == QLatin1Char('[') ? QLatin1Char(']') : c;
        if (c != QLatin1Char('\'') && c != QLatin1Char('"') && c != QLatin1Char('[') &&
            c != QLatin1Char('`')) {
            out += c;
            continue;
        }
        for (++i; i < sql.size(); ++i) {
            if (sql.at(i) != closing)
                continue;
            if (closing != QLatin1Char(']') && i + 1 < sql.size() && sql.at(i + 1) == closing) {
                ++i;
                continue;
            }
            break;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4000)
        return -1;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString jet = fuzzText(data, size);
    AuditError error;
    const auto sqlite = JetDialect::toSqlite(jet, &error);
    // The server's dialect reads quotes and dates by the same rules: it
    // refuses exactly the texts the file's refuses.
    AuditError serverError;
    const auto server = PostgresDialect::fromJet(jet, &serverError);
    FUZZ_CHECK(server.has_value() == sqlite.has_value() && serverError.number == error.number,
               jet);
    if (!sqlite) {
        FUZZ_CHECK(error.number == JetDialect::ErrorBadDateLiteral && !error.description.isEmpty(),
                   jet);
        return 0;
    }
    FUZZ_CHECK(!outsideQuotes(*sqlite).contains(QLatin1Char('#')),
               QStringLiteral("%1\n  became %2").arg(jet, *sqlite));
    static const QRegularExpression deleteAll(QStringLiteral("^\\s*DELETE\\s"),
                                              QRegularExpression::CaseInsensitiveOption);
    if (!outsideQuotes(jet).contains(QLatin1Char('#')) && !jet.contains(deleteAll))
        FUZZ_CHECK(*sqlite == jet, QStringLiteral("%1\n  became %2").arg(jet, *sqlite));
    return 0;
}
