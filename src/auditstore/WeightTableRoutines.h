#pragma once

#include "AuditError.h"

#include <QList>
#include <QString>

class QSqlQuery;

// Every access to the weight table of the audit database, which assigns a level
// (0 status to 3 fatal) to an error number for one application or for all of
// them ("*"). The routines use a connection of their own to the file named by
// AuditConnectionString and run their statements through the same dialect
// layer and statement log as the rest of the program.

// One row of the weight table.
struct WeightRecord
{
    int error = 0;
    QString application;
    int weight = 0;

    friend bool operator==(const WeightRecord&, const WeightRecord&) = default;
};

// Opens the module's record set on a SELECT (replacing the one open before) and
// stands it on its first row; false when the connection or the query failed,
// with the reason in error.
bool OpenWeightRecordset(const QString& sql, AuditError* error = nullptr);
// Releases the record set and the connection; always true.
bool CloseWeightRecordset();
// The module's record set while one is open, else nullptr.
QSqlQuery* WeightRecordset();
// True when the record set is absent or has no rows.
bool IsRecordsetEmpty(QSqlQuery* recordset);

// The list readers: one element per row, then one empty element, so an empty
// table (or a failed query) gives just the empty element. Texts are trimmed.
void GetWeightErrors(QStringList& errors);
void GetWeightApplications(QStringList& applications);
void GetWeightTable(QList<WeightRecord>& table);

// The text that selects the rows of the record's pair (error, application).
// A quote in the application is doubled, so any name can be found.
QString WeightRowSelection(const WeightRecord& record);

// True when a row with the record's error and application exists.
bool WeightExists(const WeightRecord& record);

// Replaces the row of the record's pair by one with the record's weight.
// False, with the reason in error, when the table could not be changed.
bool SaveWeight(const WeightRecord& record, AuditError* error = nullptr);

// Deletes the first row of the record's pair. A blank application stands for
// every application: the record's application becomes "*". False, with the
// reason in error, when the table could not be read or changed.
bool DeleteWeight(WeightRecord& record, AuditError* error = nullptr);
