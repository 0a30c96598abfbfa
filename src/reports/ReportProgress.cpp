#include "ReportProgress.h"

#include <QString>

ReportProgress::~ReportProgress() = default;

void ReportProgress::end() {}

void ReportProgress::showStatus(const QString& text)
{
    Q_UNUSED(text);
}
