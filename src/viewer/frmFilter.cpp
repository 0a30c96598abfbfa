#include "frmFilter.h"

#include "AppState.h"
#include "AuditLevels.h"
#include "HelpTopics.h"
#include "ModelessWindow.h"
#include "UiHooks.h"
#include "ViewQuery.h"
#include "WidgetHooks.h"
#include "frmView.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <array>

frmFilter::frmFilter(QHeaderView* headings, QWidget* parent) : QDialog(parent), m_headings(headings)
{
    setObjectName(QStringLiteral("frmFilter"));
    setWindowTitle(QStringLiteral("Filter"));
    setModal(false);

    m_searchFrame = new QGroupBox(QStringLiteral("Filter Fields"), this);
    m_searchFrame->setObjectName(QStringLiteral("searchFrame"));
    auto* form = new QFormLayout(m_searchFrame);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    m_errorLevelBox = new QComboBox(m_searchFrame);
    m_errorLevelBox->setObjectName(QStringLiteral("errorLevelBox"));
    m_errorLevelBox->setEditable(false);
    form->addRow(QStringLiteral("Error Level: "), m_errorLevelBox);

    struct Box
    {
        const char* caption;
        const char* name;
        QLineEdit** member;
    };
    const std::array<Box, 5> boxes = {{
        {"Error Number: ", "errorNumberBox", &m_errorNumberBox},
        {"Description: ", "descriptionBox", &m_descriptionBox},
        {"Application: ", "applicationBox", &m_applicationBox},
        {"User: ", "userBox", &m_userBox},
        {"Details: ", "detailsBox", &m_detailsBox},
    }};
    for (const Box& entry : boxes) {
        auto* box = new QLineEdit(m_searchFrame);
        box->setObjectName(QString::fromLatin1(entry.name));
        box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QLatin1Char('n')) * 36);
        form->addRow(QString::fromLatin1(entry.caption), box);
        *entry.member = box;
    }

    m_findCommand = new QPushButton(QStringLiteral("&Apply"), this);
    m_findCommand->setObjectName(QStringLiteral("findCommand"));
    m_findCommand->setDefault(true);
    m_cancelCommand = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancelCommand->setObjectName(QStringLiteral("cancelCommand"));
    m_cancelCommand->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_findCommand, QDialogButtonBox::AcceptRole);
    buttons->addButton(m_cancelCommand, QDialogButtonBox::RejectRole);
    connect(m_findCommand, &QPushButton::clicked, this, &frmFilter::findCommand_Click);
    connect(m_cancelCommand, &QPushButton::clicked, this, &frmFilter::cancelCommand_Click);

    // F5 re-runs the filter here as in the viewer.
    auto* refresh = new QAction(this);
    refresh->setShortcut(QKeySequence::Refresh);
    connect(refresh, &QAction::triggered, this, [] {
        BusyCursor busy;
        RequeryView();
    });
    addAction(refresh);
    InstallHelpKey(this, QStringLiteral("filter.html"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_searchFrame);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Form_Load();
}

frmFilter::~frmFilter()
{
    // Gone with the viewer, without closing: the flag must not outlive it.
    FilterWindowOpen = false;
}

frmFilter* frmFilter::showFor(QWidget* viewer)
{
    auto* view = qobject_cast<frmView*>(viewer);
    if (!view)
        return nullptr; // it works on the viewer's record source only
    return ShowModelessWindow<frmFilter>(view, [view] {
        auto* window = new frmFilter(view->grid()->horizontalHeader(), view);
        FilterWindowOpen = true;
        return window;
    });
}

void frmFilter::Form_Load()
{
    BusyCursor busy;
    for (const AuditLevel& level : AuditLevels())
        m_errorLevelBox->addItem(level.numberedEntry);
    m_errorLevelBox->setCurrentIndex(-1);
}

FilterCriteria frmFilter::criteria() const
{
    return {m_errorLevelBox->currentIndex(), m_errorNumberBox->text(), m_descriptionBox->text(),
            m_applicationBox->text(),        m_userBox->text(),        m_detailsBox->text()};
}

void frmFilter::findCommand_Click()
{
    BusyCursor busy;
    AuditError error;
    if (!ApplyFilterQuery(FilterQueryText(criteria()), &error)) {
        ShowMessage(QStringLiteral("The filter could not be applied; the list is unchanged."
                                   "\n\nError %1 - %2")
                        .arg(error.number)
                        .arg(error.description),
                    MsgButtons::Ok, MsgIcon::Exclamation, windowTitle());
        return;
    }
    // The filter's rows come in the database's order: no column is sorted.
    if (m_headings)
        m_headings->setSortIndicatorShown(false);
}

void frmFilter::cancelCommand_Click()
{
    close();
}

void frmFilter::reject()
{
    cancelCommand_Click();
}

void frmFilter::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    // Not QDialog's own close handling, which would come back here through reject().
    QWidget::closeEvent(event);
}

void frmFilter::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    BusyCursor busy;
    // The viewer's own query again, with its level flags, age and sort.
    BuildViewQuery();
    if (m_headings)
        m_headings->setSortIndicatorShown(true);
    FilterWindowOpen = false;
}
