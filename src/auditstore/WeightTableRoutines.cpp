#include "WeightTableRoutines.h"

#include "AppState.h"
#include "AuditDatabase.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <functional>
#include <optional>

namespace {

const QString WeightConnectionName = QStringLiteral("AuditWeight");

// The module's record set; at most one weight query is open at a time.
std::optional<QSqlQuery> recordset;

QSqlDatabase weightConnection()
{
    return QSqlDatabase::database(WeightConnectionName, false);
}

// Runs a statement that changes the table on the module's connection.
bool changeTable(const QString& jet, AuditError* error)
{
    return AuditDatabase::run(weightConnection(), jet, error).has_value();
}

QString quoted(QString text)
{
    return QLatin1Char('\'') + text.replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

// Runs a reader's query and hands each row to add. The record set is closed
// afterwards: an unfinished SQLite statement would hold its read snapshot and
// keep the journal from being checkpointed while the window stays open.
void readRows(const QString& sql, const std::function<void(const QSqlQuery&)>& add)
{
    if (OpenWeightRecordset(sql) && !IsRecordsetEmpty(WeightRecordset())) {
        for (QSqlQuery* rs = WeightRecordset(); rs->isValid(); rs->next())
            add(*rs);
    }
    CloseWeightRecordset();
}

// A list reader's result: the rows' texts and one empty element.
QStringList readTexts(const QString& sql)
{
    QStringList texts;
    readRows(sql,
             [&texts](const QSqlQuery& row) { texts.append(row.value(0).toString().trimmed()); });
    texts.append(QString());
    return texts;
}

// The condition of the rows of the record's pair.
QString rowCondition(const WeightRecord& record)
{
    return QStringLiteral("weight.error=") + QString::number(record.error) +
           QStringLiteral(" and weight.application=") + quoted(record.application);
}

} // namespace

bool OpenWeightRecordset(const QString& sql, AuditError* error)
{
    CloseWeightRecordset();
    AuditError failure;
    QSqlDatabase db =
        AuditDatabase::openConnection(AuditConnectionString, WeightConnectionName, &failure);
    if (failure.isError() || !db.isOpen()) {
        if (error)
            *error = failure;
        return false;
    }
    recordset = AuditDatabase::run(db, sql, error, false);
    if (!recordset)
        return false;
    recordset->first();
    return true;
}

bool CloseWeightRecordset()
{
    recordset.reset();
    if (QSqlDatabase::contains(WeightConnectionName)) {
        weightConnection().close();
        QSqlDatabase::removeDatabase(WeightConnectionName);
    }
    return true;
}

QSqlQuery* WeightRecordset()
{
    return recordset ? &*recordset : nullptr;
}

bool IsRecordsetEmpty(QSqlQuery* rs)
{
    if (!rs || !rs->isActive() || !rs->isSelect())
        return true;
    return !rs->isValid() && !rs->first();
}

void GetWeightErrors(QStringList& errors)
{
    errors = readTexts(QStringLiteral("select weight.error from [weight] group by weight.error "
                                      "order by weight.error"));
}

void GetWeightApplications(QStringList& applications)
{
    applications = readTexts(QStringLiteral("select weight.application from [weight] group by "
                                            "weight.application order by weight.application"));
}

void GetWeightTable(QList<WeightRecord>& table)
{
    table.clear();
    readRows(QStringLiteral("select * from [weight] order by rowid"), [&table](const QSqlQuery& row) {
        table.append({row.value(QStringLiteral("error")).toInt(),
                      row.value(QStringLiteral("application")).toString().trimmed(),
                      row.value(QStringLiteral("weight")).toInt()});
    });
    table.append(WeightRecord());
}

QString WeightRowSelection(const WeightRecord& record)
{
    return QStringLiteral("select * from [weight] where ") + rowCondition(record);
}

bool WeightExists(const WeightRecord& record)
{
    if (!OpenWeightRecordset(WeightRowSelection(record)))
        return false;
    const bool exists = !IsRecordsetEmpty(WeightRecordset());
    CloseWeightRecordset();
    return exists;
}

bool SaveWeight(const WeightRecord& record, AuditError* error)
{
    if (WeightExists(record)) {
        WeightRecord existing = record;
        if (!DeleteWeight(existing, error))
            return false;
    }
    bool saved = OpenWeightRecordset(QStringLiteral("select * from [weight]"), error);
    if (saved)
        saved = changeTable(QStringLiteral("insert into [weight] (error, application, weight) "
                                           "values (%1, %2, %3)")
                                .arg(QString::number(record.error), quoted(record.application),
                                     QString::number(record.weight)),
                            error);
    CloseWeightRecordset();
    return saved;
}

bool DeleteWeight(WeightRecord& record, AuditError* error)
{
    if (record.application.trimmed().isEmpty())
        record.application = QStringLiteral("*");
    bool deleted = OpenWeightRecordset(WeightRowSelection(record), error);
    // The current row is the first match: rows of one pair are alike but for
    // the weight, so the oldest one goes, and only that one.
    if (deleted && !IsRecordsetEmpty(WeightRecordset()))
        deleted = changeTable(QStringLiteral("delete from [weight] where rowid = "
                                             "(select min(rowid) from [weight] where %1)")
                                  .arg(rowCondition(record)),
                              error);
    CloseWeightRecordset();
    return deleted;
}
