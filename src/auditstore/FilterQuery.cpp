#include "FilterQuery.h"

#include "AuditView.h"
#include "ViewQuery.h"

namespace {

const QString FilterSelect = QStringLiteral("select * from [Audit] where");

// A text between single quotes.
QString inQuotes(QString text)
{
    text.replace(QLatin1Char('\''), QLatin1String("''"));
    return text;
}

QString like(const char* column, const QString& text)
{
    return QStringLiteral(" [") + QLatin1String(column) + QStringLiteral("] like '%") +
           inQuotes(text) + QStringLiteral("%'");
}

} // namespace

QString FilterQueryText(const FilterCriteria& criteria)
{
    QString q = FilterSelect;
    if (criteria.level >= 0)
        q += QStringLiteral(" [level]=%1 and").arg(criteria.level);
    // The number is matched as text: 30 also finds 130 and 301.
    if (!criteria.errorNumber.trimmed().isEmpty())
        q += like("error", criteria.errorNumber) + QStringLiteral(" and");
    // Always present, also for an empty box: '%%' does not match a Null.
    q += like("description", criteria.description);
    q += QStringLiteral(" and") + like("application", criteria.application);
    q += QStringLiteral(" and") + like("user", criteria.user);
    q += QStringLiteral(" and") + like("details", criteria.details);
    return q;
}

bool IsFilterQuery(const QString& recordSource)
{
    return recordSource.startsWith(FilterSelect);
}

bool ApplyFilterQuery(const QString& statement, AuditError* error)
{
    AuditView& view = AuditView::instance();
    ViewCommands* viewer = CurrentViewCommands();
    const QString previous = view.recordSource();
    const bool wasLoading = view.isLoading();
    if (viewer)
        viewer->beginViewQuery();
    view.setRecordSource(statement);
    AuditError failure;
    const bool ok = view.refresh(&failure);
    if (ok) {
        if (viewer)
            viewer->setDeleteEnabled(!IsRecordsetEmpty(&view));
    } else {
        // A refresh that fails leaves the rows as they were: keep the statement
        // that selected them, so that a later refresh does not fail again. It
        // did stop reading their keys: read them afresh if some were missing.
        view.setRecordSource(previous);
        if (wasLoading)
            view.requery();
    }
    if (viewer)
        viewer->endViewQuery();
    if (error)
        *error = failure;
    return ok;
}
