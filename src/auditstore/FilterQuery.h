#pragma once

#include "AuditError.h"

#include <QString>

// What the filter window narrows the viewer to: a level (-1 for any) and LIKE
// patterns on five columns, as typed.
struct FilterCriteria
{
    int level = -1;
    QString errorNumber;
    QString description;
    QString application;
    QString user;
    QString details;
};

// The filter's SELECT over Audit, without ORDER BY (the database's order).
// The texts go in as typed, so % and _ stay LIKE wildcards; a single quote is
// doubled so that it stays part of its text instead of ending the literal.
QString FilterQueryText(const FilterCriteria& criteria);

// Whether a record source is a filter's statement.
bool IsFilterQuery(const QString& recordSource);

// Makes a statement the viewer's record source and runs it (its first row
// becomes current), then enables Delete by the result as a requery does.
// When the database rejects it, the viewer keeps its previous record source
// and rows, and error says why.
bool ApplyFilterQuery(const QString& statement, AuditError* error = nullptr);
