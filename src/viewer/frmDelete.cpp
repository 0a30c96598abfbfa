#include "frmDelete.h"

#include "AuditDatabase.h"
#include "NumericText.h"
#include "Purge.h"
#include "Settings.h"
#include "StatementProgress.h"
#include "UiHooks.h"
#include "ViewQuery.h"
#include "WidgetHooks.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <array>
#include <cmath>

namespace {

struct TypeEntry
{
    const char* caption;
    int bound;
};

// "ALL" removes every level; there is no entry for fatal errors alone.
const std::array<TypeEntry, 4> typeEntries = {{
    {"ALL", 3},
    {"Status Messages", 0},
    {"Warnings", 1},
    {"Errors", 2},
}};

} // namespace

int frmDelete::levelBoundOf(int listIndex)
{
    return listIndex >= 0 && listIndex < static_cast<int>(typeEntries.size())
               ? typeEntries[static_cast<size_t>(listIndex)].bound
               : 3;
}

frmDelete::frmDelete(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDelete"));
    setWindowTitle(QStringLiteral("Delete"));
    setModal(true);

    auto* frame = new QGroupBox(QStringLiteral("Deletion Criteria"), this);
    frame->setObjectName(QStringLiteral("fraCriteria"));

    m_cboType = new QComboBox(frame);
    m_cboType->setObjectName(QStringLiteral("cboType"));
    m_cboType->setEditable(false);
    auto* lblType = new QLabel(QStringLiteral("&Delete:"), frame);
    lblType->setObjectName(QStringLiteral("lblType"));
    lblType->setBuddy(m_cboType);

    m_txtDays = new QLineEdit(frame);
    m_txtDays->setObjectName(QStringLiteral("txtDays"));
    m_txtDays->setMaxLength(3);
    m_txtDays->setFixedWidth(m_txtDays->fontMetrics().horizontalAdvance(QStringLiteral("0000")) +
                             16);
    auto* lblOver = new QLabel(QStringLiteral("&Over"), frame);
    lblOver->setObjectName(QStringLiteral("lblOver"));
    lblOver->setBuddy(m_txtDays);
    auto* lblDaysOld = new QLabel(QStringLiteral("Days Old."), frame);
    lblDaysOld->setObjectName(QStringLiteral("lblDaysOld"));

    auto* grid = new QGridLayout(frame);
    grid->addWidget(lblType, 0, 0);
    grid->addWidget(m_cboType, 0, 1, 1, 2);
    grid->addWidget(lblOver, 1, 0);
    grid->addWidget(m_txtDays, 1, 1);
    grid->addWidget(lblDaysOld, 1, 2);
    grid->setColumnStretch(2, 1);

    m_cmdOK = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    m_cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_cmdOK, QDialogButtonBox::AcceptRole);
    buttons->addButton(m_cmdCancel, QDialogButtonBox::RejectRole);
    // The buttons run the handlers; the box's own accept/reject stay unused.
    connect(m_cmdOK, &QPushButton::clicked, this, &frmDelete::cmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmDelete::cmdCancel_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    Form_Load();
}

void frmDelete::Form_Load()
{
    for (const TypeEntry& entry : typeEntries)
        m_cboType->addItem(QString::fromLatin1(entry.caption));
    m_cboType->setCurrentIndex(0);
    m_txtDays->setText(GetSettingValue(SettingKey::DeleteDays, SettingDefault::DeleteDays));
    m_txtDays->selectAll();
    m_txtDays->setFocus();
}

bool frmDelete::validDays()
{
    const QString days = m_txtDays->text();
    QString problem;
    // The range applies to the number the purge will use: "(5)" and "5-"
    // are numeric but negative.
    const auto number = NumericText::toNumber(days);
    if (!number) {
        problem = QStringLiteral("Days must be numeric");
    } else if (std::floor(NumericText::leadingNumber(days)) < 0 || std::floor(*number) < 0 ||
               *number > 999) {
        problem = QStringLiteral("Days must be between 0 and 999");
    }
    if (problem.isEmpty())
        return true;
    ShowMessage(problem, MsgButtons::Ok, MsgIcon::Information, windowTitle());
    m_txtDays->setFocus();
    m_txtDays->selectAll();
    return false;
}

void frmDelete::cmdOK_Click()
{
    if (!validDays())
        return;
    const QString days = m_txtDays->text();
    const int level = levelBoundOf(m_cboType->currentIndex());
    SaveSettingValue(SettingKey::DeleteDays, days);
    if (!purge(days, level))
        return;
    RequeryView();
    accept();
}

bool frmDelete::purge(const QString& days, int level)
{
    BusyCursor busy;
    QProgressDialog progress(QStringLiteral("Deleting old entries..."), QString(), 0, 0, this);
    progress.setObjectName(QStringLiteral("prgPurge"));
    progress.setWindowTitle(windowTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setCancelButton(nullptr);
    progress.show();
    QElapsedTimer elapsed;
    elapsed.start();
    auto keepPainting = [&progress, &elapsed](const QString& what) {
        progress.setLabelText(QStringLiteral("%1 (%2 s)").arg(what).arg(elapsed.elapsed() / 1000));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    keepPainting(QStringLiteral("Deleting old entries..."));

    // The grid reads its rows on the connection that runs the delete: it
    // must not paint while the statement lets the rest of the program paint.
    ViewCommands* viewer = CurrentViewCommands();
    if (viewer)
        viewer->beginViewQuery();
    PurgeResult result;
    {
        StatementProgress whileDeleting(AuditDatabase::instance().connection(), [&keepPainting] {
            keepPainting(QStringLiteral("Deleting old entries..."));
        });
        // Between requeries the program keeps painting instead of sleeping.
        const PurgeWait wait = [&keepPainting] {
            keepPainting(QStringLiteral("Waiting for the list to show the deletion..."));
            QEventLoop loop;
            QTimer::singleShot(PurgeWaitMs, &loop, &QEventLoop::quit);
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        };
        result = DeleteOldEntries(days, level, wait);
    }
    if (viewer)
        viewer->endViewQuery();
    progress.close();
    if (result.ran)
        return true;
    ShowMessage(QStringLiteral("Old entries were not deleted.\n\nError %1 - %2")
                    .arg(result.error.number)
                    .arg(result.error.description),
                MsgButtons::Ok, MsgIcon::Exclamation, windowTitle());
    return false;
}

void frmDelete::cmdCancel_Click()
{
    reject();
}
