#include "frmView.h"

#include "AppState.h"
#include "AuditLevels.h"
#include "AuditTableModel.h"
#include "AuditView.h"
#include "FilterQuery.h"
#include "HelpTopics.h"
#include "LevelIcons.h"
#include "OpenWindows.h"
#include "RestoreViewerPlacement.h"
#include "SaveViewerStateAndEnd.h"
#include "Settings.h"
#include "Twips.h"
#include "UiHooks.h"
#include "ViewLoad.h"
#include "frmDelete.h"
#include "frmDetails.h"

#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QToolBar>
#include <utility>

QPointer<frmView> frmView::s_instance;

namespace {

// The handler of each menu and popup item, by the item's object name.
using ItemHandler = void (frmView::*)();
const std::pair<const char*, ItemHandler> itemHandlers[] = {
    {"mFilePrint", &frmView::mFilePrint_Click},
    {"mFileDelete", &frmView::mFileDelete_Click},
    {"mFileFind", &frmView::mFileFind_Click},
    {"mFileExit", &frmView::mFileExit_Click},
    {"mViewStatus", &frmView::mViewStatus_Click},
    {"mViewWarnings", &frmView::mViewWarnings_Click},
    {"mViewErrors", &frmView::mViewErrors_Click},
    {"mViewFatal", &frmView::mViewFatal_Click},
    {"mViewDetails", &frmView::mViewDetails_Click},
    {"mViewRefresh", &frmView::mViewRefresh_Click},
    {"mViewFilter", &frmView::mViewFilter_Click},
    {"mViewPreferences", &frmView::mViewPreferences_Click},
    {"mViewEmailNotificationPreferences", &frmView::mViewEmailNotificationPreferences_Click},
    {"mHelpTopics", &frmView::mHelpTopics_Click},
    {"mHelpAbout", &frmView::mHelpAbout_Click},
    {"mPopupDetails", &frmView::mPopupDetails_Click},
    {"mPopupDelete", &frmView::mPopupDelete_Click},
};

} // namespace

frmView* frmView::instance()
{
    if (!s_instance) {
        s_instance = new frmView();
        s_instance->Form_Load();
    }
    return s_instance;
}

frmView* frmView::existingInstance()
{
    return s_instance;
}

frmView::frmView(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmView"));
    setWindowTitle(QStringLiteral("Audit Log Viewer"));
    setWindowIcon(LevelIcons::forKey(QStringLiteral("REPORT")));
    m_actions = std::make_unique<ViewerActions>(this);
    connectActions();
    createGrid();

    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("lblStatus"));
    statusBar()->addWidget(m_statusLabel, 1);
    statusBar()->setSizeGripEnabled(true);
}

frmView::~frmView()
{
    if (CurrentViewCommands() == this)
        SetViewCommands(nullptr);
}

void frmView::connectActions()
{
    for (const auto& [name, handler] : itemHandlers)
        connect(m_actions->item(QLatin1String(name)), &QAction::triggered, this, handler);
    for (QAction* button : m_actions->toolbar()->actions())
        if (!button->isSeparator())
            connect(button, &QAction::triggered, this,
                    [this, key = button->objectName()] { Toolbar1_ButtonClick(key); });
}

void frmView::createGrid()
{
    m_model = new AuditTableModel(AuditView::instance(), this);
    m_ssView = new ViewerGrid(m_model, this);

    QHeaderView* headings = m_ssView->horizontalHeader();
    connect(headings, &QHeaderView::sectionClicked, this, &frmView::ssView_HeadClick);
    connect(headings, &QHeaderView::sectionResized, this,
            [this](int column, int, int width) { ssView_ColWidthChange(column, width); });
    connect(m_ssView, &QTableView::doubleClicked, this, &frmView::ssView_DblClick);
    connect(m_ssView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { syncViewToGrid(current); });
    connect(&AuditView::instance(), &AuditView::currentRowChanged, this, &frmView::syncGridToView);
    connect(m_model, &QAbstractItemModel::modelReset, this, &frmView::updateStatus);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &frmView::updateStatus);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &frmView::updateStatus);
    connect(&AuditView::instance(), &AuditView::loadingFinished, this, &frmView::updateStatus);
    connect(&AuditView::instance(), &AuditView::readFailed, this, [this](const AuditError& error) {
        ShowMessage(QStringLiteral("Not every entry could be read; the list shows the first %L1.\n"
                                   "Refresh to try again.\n\nError %2 - %3")
                        .arg(m_model->rowCount())
                        .arg(error.number)
                        .arg(error.description),
                    MsgButtons::Ok, MsgIcon::Exclamation);
    });

    connect(m_ssView, &ViewerGrid::commandKeyPressed, this, &frmView::ssView_KeyDown);
    connect(m_ssView, &ViewerGrid::popupRequested, this, &frmView::ssView_Popup);
    setCentralWidget(m_ssView);
    setFocusProxy(m_ssView);
}

// Load -----------------------------------------------------------------------

void frmView::Form_Load()
{
    m_loading = true;
    m_ssView->applyStoredWidths();
    m_actions->setToolbarIcons();
    RestoreViewerPlacement(this);
    applyLevels();
    m_loading = false;

    SetViewCommands(this);
    loadViewData();
    Form_Resize();
}

void frmView::applyLevels()
{
    for (const AuditLevel& level : AuditLevels()) {
        const bool on = GetSettingBool(level.settingsKey, SettingDefault::Level);
        m_levelOn[level.value] = on;
        m_actions->levelItem(level.value)->setChecked(on);
        m_actions->levelButton(level.value)->setChecked(on);
    }
}

void frmView::loadViewData()
{
    // Connection string, sort from the settings and the first view query; a
    // missing database is reported there and ends the program.
    LoadViewData();
    m_ssView->showSort();
}

void frmView::Form_Resize()
{
    // The grid fills the window below the toolbar through the main window's
    // layout; nothing to move by hand.
}

void frmView::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmView::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    m_ssView->setFocus(Qt::ActiveWindowFocusReason);
}

void frmView::Form_Unload()
{
    SaveViewerStateAndEnd(this);
}

void frmView::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}

// View query -----------------------------------------------------------------

void frmView::beginViewQuery()
{
    if (m_queryDepth++ == 0) {
        m_queryBusy.emplace();
        m_ssView->setUpdatesEnabled(false);
    }
}

void frmView::endViewQuery()
{
    if (m_queryDepth == 0 || --m_queryDepth > 0)
        return;
    m_ssView->setUpdatesEnabled(true);
    m_ssView->viewport()->update();
    m_queryBusy.reset();
}

void frmView::setDeleteEnabled(bool enabled)
{
    toolbarButton(QStringLiteral("DELETE"))->setEnabled(enabled);
    m_actions->item(QStringLiteral("mFileDelete"))->setEnabled(enabled);
}

void frmView::setFindEnabled(bool enabled)
{
    toolbarButton(QStringLiteral("FIND"))->setEnabled(enabled);
    m_actions->item(QStringLiteral("mFileFind"))->setEnabled(enabled);
}

void frmView::updateStatus()
{
    const int count = m_model->rowCount();
    QString text =
        count == 1 ? QStringLiteral("1 entry") : QStringLiteral("%L1 entries").arg(count);
    const bool filtered = IsFilterQuery(AuditView::instance().recordSource());
    if (filtered)
        text += count == 1 ? QStringLiteral(" matches the filter")
                           : QStringLiteral(" match the filter");
    if (!AuditView::instance().hasAllRows())
        text = QStringLiteral("Reading entries... %L1 so far").arg(count);
    m_statusLabel->setText(text);
}

// Current row ----------------------------------------------------------------

void frmView::syncGridToView(int row)
{
    if (m_syncing)
        return;
    m_syncing = true;
    QItemSelectionModel* selection = m_ssView->selectionModel();
    if (row < 0 || row >= m_model->rowCount()) {
        selection->clear();
    } else {
        const QModelIndex index = m_model->index(row, m_currentColumn);
        selection->setCurrentIndex(index,
                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    m_syncing = false;
}

void frmView::syncViewToGrid(const QModelIndex& current)
{
    // While a row leaves, the selection model moves to a neighbour of its own
    // choosing; the AuditView decides the new current row instead.
    if (m_syncing || m_model->isRemovingRows() || !current.isValid())
        return;
    m_currentColumn = current.column();
    m_syncing = true;
    AuditView::instance().setCurrentRow(current.row());
    m_syncing = false;
}

// Menus and toolbar ----------------------------------------------------------

void frmView::mFilePrint_Click()
{
    OpenReportDialog(this);
}

void frmView::mFileDelete_Click()
{
    frmDelete dialog(this);
    ShowModal(&dialog);
}

void frmView::mFileFind_Click()
{
    OpenFindWindow(this);
}

void frmView::mFileExit_Click()
{
    close();
}

void frmView::levelToggle(int level)
{
    const auto index = static_cast<size_t>(level);
    QAction* item = m_actions->levelItem(level);
    m_levelOn[index] = !m_levelOn[index];
    item->setChecked(m_levelOn[index]);
    SaveSettingValue(AuditLevels()[index].settingsKey,
                     item->isChecked() ? QStringLiteral("True") : QStringLiteral("False"));
    BuildViewQuery();
    m_actions->levelButton(level)->setChecked(item->isChecked());
}

void frmView::mViewDetails_Click()
{
    AuditView& view = AuditView::instance();
    if (view.bof() || view.eof())
        return;
    frmDetails details(this);
    ShowModal(&details);
}

void frmView::mViewRefresh_Click()
{
    BusyCursor busy;
    RequeryView();
}

void frmView::mViewFilter_Click()
{
    OpenFilterWindow(this);
}

void frmView::mViewPreferences_Click()
{
    OpenOptionsWindow(this);
}

void frmView::mViewEmailNotificationPreferences_Click()
{
    OpenNotificationList(this);
}

void frmView::mHelpTopics_Click()
{
    ShowHelpTopics();
}

void frmView::mHelpAbout_Click()
{
    OpenAboutBox(this);
}

void frmView::mPopupDelete_Click()
{
    if (AuditView::instance().eof())
        return;
    deleteCurrentEntry();
}

void frmView::Toolbar1_ButtonClick(const QString& key)
{
    if (key == QLatin1String("PRINT"))
        mFilePrint_Click();
    else if (key == QLatin1String("FIND"))
        mFileFind_Click();
    else if (key == QLatin1String("REFRESH"))
        mViewRefresh_Click();
    else if (key == QLatin1String("DETAILS"))
        mViewDetails_Click();
    else if (key == QLatin1String("DELETE")) {
        if (!IsRecordsetEmpty(&AuditView::instance()))
            deleteCurrentEntry();
    } else if (key == QLatin1String("HELP"))
        mHelpTopics_Click();
    else if (const auto level = AuditLevelByKeyword(key))
        levelToggle(level->value);
}

void frmView::deleteCurrentEntry()
{
    AuditView& view = AuditView::instance();
    if (view.eof())
        return;
    AuditError error;
    if (!view.deleteCurrent(&error)) {
        ShowMessage(QStringLiteral("The entry could not be deleted.\n\nError %1 - %2")
                        .arg(error.number)
                        .arg(error.description),
                    MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Delete"));
        return;
    }
    if (IsRecordsetEmpty(&view)) {
        setDeleteEnabled(false);
        setFindEnabled(false);
    }
}

// Grid -----------------------------------------------------------------------

void frmView::ssView_HeadClick(int column)
{
    BusyCursor busy;
    m_currentColumn = column;
    const QModelIndex current = m_ssView->currentIndex();
    if (current.isValid())
        m_ssView->setCurrentIndex(m_model->index(current.row(), column));

    const QString field = AuditTableModel::fieldOf(column);
    if (field == m_lastSorted)
        ViewSortDirection =
            ViewSortDirection == QLatin1String("DESC") ? QString() : QStringLiteral("DESC");
    else
        ViewSortDirection.clear();
    ViewSortBy1 = field;

    // The filter window works on the selected column: select it as a block.
    if (FilterWindowOpen)
        m_ssView->selectColumnBlock(column);
    else
        BuildViewQuery();

    m_lastSorted = field;
    ViewSortBy2 = GetSettingValue(SettingKey::ReportSortBy2, SettingDefault::ViewerSortBy2);
    ViewSortBy3 = GetSettingValue(SettingKey::ReportSortBy3, SettingDefault::ViewerSortBy3);
    m_ssView->showSort();
}

void frmView::ssView_DblClick(const QModelIndex& index)
{
    if (index.isValid())
        mViewDetails_Click();
}

void frmView::ssView_KeyDown(int key)
{
    if (key == Qt::Key_Delete)
        Toolbar1_ButtonClick(QStringLiteral("DELETE"));
    else if (key == Qt::Key_Return || key == Qt::Key_Enter)
        mViewDetails_Click();
}

void frmView::ssView_Popup(const QPoint& globalPos)
{
    m_actions->popup()->popup(globalPos);
}

void frmView::ssView_ColWidthChange(int column, int width)
{
    if (m_loading || width <= 0)
        return;
    SaveSettingValue(SettingKey::ColWidth(column + 1), Twips::text(Twips(this).fromPixelsX(width)));
}
