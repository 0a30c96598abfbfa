#pragma once

#include "AuditError.h"

class QIODevice;
class QString;

// Numbers and descriptions for failures of an output device, as the layouts'
// error handlers report them ("disk full" apart from other write failures).
namespace ReportOutputError {

// A write to the device failed or wrote less than asked; systemError is the
// errno value seen right after the failure (0 when unknown).
AuditError ofWrite(const QIODevice* device, int systemError);
// The output file could not be created.
AuditError ofOpen(const QIODevice* device, const QString& fileName);
// Finishing the output file (flush, sync, rename) failed.
AuditError ofClose(const QIODevice* device, const QString& fileName, int systemError);

} // namespace ReportOutputError
