#pragma once

#include <QString>
#include <QStringList>

// A schema script of the shipped resources split into its statements, the
// index builds apart, so that a new database can get its indexes after its
// rows (one sort each, instead of keeping them up to date row by row).
struct SqlScript
{
    QStringList tables; // every other statement, in the script's order
    QStringList indexes;

    bool isEmpty() const { return tables.isEmpty() && indexes.isEmpty(); }
    // Empty when the resource is missing. Comments ("--" to the end of the
    // line) are dropped; statements end in ';'.
    static SqlScript read(const QString& resource);
};
