#include "frmView.h"

#include "AppState.h"
#include "AuditColumns.h"
#include "AuditLevels.h"
#include "AuditTableModel.h"
#include "AuditView.h"
#include "FilterQuery.h"
#include "GridHeaderStyle.h"
#include "HelpTopics.h"
#include "LevelIcons.h"
#include "OpenWindows.h"
#include "SaveViewerStateAndEnd.h"
#include "Settings.h"
#include "Twips.h"
#include "UiHooks.h"
#include "ViewLoad.h"
#include "frmDelete.h"
#include "frmDetails.h"

#include <QAction>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

QPointer<frmView> frmView::s_instance;

namespace {

// Design size of the window and design widths of the grid's columns, in
// pixels at the standard resolution (scaled with the font below).
constexpr int DesignWidth = 1280;
constexpr int DesignHeight = 680;

// Toolbar buttons in order; an empty key stands for a separator.
const QStringList toolbarKeys = {QStringLiteral("PRINT"),
                                 QStringLiteral("FIND"),
                                 QStringLiteral("REFRESH"),
                                 QStringLiteral("DETAILS"),
                                 QStringLiteral("DELETE"),
                                 QString(),
                                 QStringLiteral("STATUS"),
                                 QStringLiteral("WARNING"),
                                 QStringLiteral("ERROR"),
                                 QStringLiteral("FATAL"),
                                 QString(),
                                 QStringLiteral("HELP")};

const QHash<QString, QString>& toolbarTips()
{
    static const QHash<QString, QString> tips = {
        {QStringLiteral("PRINT"), QStringLiteral("Print Report")},
        {QStringLiteral("FIND"), QStringLiteral("Find")},
        {QStringLiteral("REFRESH"), QStringLiteral("Refresh")},
        {QStringLiteral("DETAILS"), QStringLiteral("View Details")},
        {QStringLiteral("DELETE"), QStringLiteral("Delete")},
        {QStringLiteral("STATUS"), QStringLiteral("View Status Messages")},
        {QStringLiteral("WARNING"), QStringLiteral("View Warnings")},
        {QStringLiteral("ERROR"), QStringLiteral("View Errors")},
        {QStringLiteral("FATAL"), QStringLiteral("View Fatal Errors")},
        {QStringLiteral("HELP"), QStringLiteral("Help")},
    };
    return tips;
}

// The View menu item names of the four levels.
const std::array<const char*, 4> levelItemNames = {"mViewStatus", "mViewWarnings", "mViewErrors",
                                                   "mViewFatal"};

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
    createActions();
    createMenus();
    createToolbar();
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

QAction* frmView::makeAction(const QString& name, const QString& caption)
{
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    return action;
}

void frmView::createActions()
{
    m_mFilePrint = makeAction(QStringLiteral("mFilePrint"), QStringLiteral("&Print..."));
    m_mFilePrint->setShortcut(QKeySequence::Print);
    connect(m_mFilePrint, &QAction::triggered, this, &frmView::mFilePrint_Click);

    m_mFileDelete = makeAction(QStringLiteral("mFileDelete"), QStringLiteral("&Delete..."));
    connect(m_mFileDelete, &QAction::triggered, this, &frmView::mFileDelete_Click);

    m_mFileFind = makeAction(QStringLiteral("mFileFind"), QStringLiteral("&Find..."));
    m_mFileFind->setShortcut(QKeySequence::Find);
    connect(m_mFileFind, &QAction::triggered, this, &frmView::mFileFind_Click);

    m_mFileExit = makeAction(QStringLiteral("mFileExit"), QStringLiteral("E&xit"));
    m_mFileExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(m_mFileExit, &QAction::triggered, this, &frmView::mFileExit_Click);

    for (const AuditLevel& level : AuditLevels()) {
        QAction* item =
            makeAction(QString::fromLatin1(levelItemNames[level.value]), level.viewMenuCaption);
        // No icon: a menu item with one shows its check state only as a faint
        // frame round the icon; the toolbar carries the level icons.
        item->setCheckable(true);
        const int value = level.value;
        connect(item, &QAction::triggered, this, [this, value] { levelToggle(value); });
        m_levelItems[value] = item;
    }

    m_mViewDetails = makeAction(QStringLiteral("mViewDetails"), QStringLiteral("&Details..."));
    connect(m_mViewDetails, &QAction::triggered, this, &frmView::mViewDetails_Click);

    m_mViewRefresh = makeAction(QStringLiteral("mViewRefresh"), QStringLiteral("&Refresh"));
    m_mViewRefresh->setShortcut(QKeySequence::Refresh);
    connect(m_mViewRefresh, &QAction::triggered, this, &frmView::mViewRefresh_Click);

    m_mViewFilter = makeAction(QStringLiteral("mViewFilter"), QStringLiteral("F&ilter Fields..."));
    connect(m_mViewFilter, &QAction::triggered, this, &frmView::mViewFilter_Click);

    m_mViewPreferences =
        makeAction(QStringLiteral("mViewPreferences"), QStringLiteral("&Preferences..."));
    connect(m_mViewPreferences, &QAction::triggered, this, &frmView::mViewPreferences_Click);

    m_mViewEmailNotificationPreferences =
        makeAction(QStringLiteral("mViewEmailNotificationPreferences"),
                   QStringLiteral("Email &Notification Preferences..."));
    connect(m_mViewEmailNotificationPreferences, &QAction::triggered, this,
            &frmView::mViewEmailNotificationPreferences_Click);

    m_mHelpTopics = makeAction(QStringLiteral("mHelpTopics"), QStringLiteral("&Help Topics"));
    m_mHelpTopics->setShortcut(QKeySequence::HelpContents);
    connect(m_mHelpTopics, &QAction::triggered, this, &frmView::mHelpTopics_Click);

    m_mHelpAbout =
        makeAction(QStringLiteral("mHelpAbout"), QStringLiteral("&About Audit Log Viewer..."));
    connect(m_mHelpAbout, &QAction::triggered, this, &frmView::mHelpAbout_Click);

    m_mPopupDetails = makeAction(QStringLiteral("mPopupDetails"), QStringLiteral("&Details..."));
    connect(m_mPopupDetails, &QAction::triggered, this, &frmView::mPopupDetails_Click);

    m_mPopupDelete = makeAction(QStringLiteral("mPopupDelete"), QStringLiteral("Delete"));
    connect(m_mPopupDelete, &QAction::triggered, this, &frmView::mPopupDelete_Click);
}

void frmView::createMenus()
{
    auto separator = [this](QMenu* menu, const QString& name) {
        QAction* sep = menu->addSeparator();
        sep->setObjectName(name);
    };

    QMenu* mFile = menuBar()->addMenu(QStringLiteral("&File"));
    mFile->setObjectName(QStringLiteral("mFile"));
    mFile->addAction(m_mFilePrint);
    separator(mFile, QStringLiteral("mFileSep1"));
    mFile->addAction(m_mFileDelete);
    mFile->addAction(m_mFileFind);
    separator(mFile, QStringLiteral("mFileSep2"));
    mFile->addAction(m_mFileExit);

    QMenu* mView = menuBar()->addMenu(QStringLiteral("&View"));
    mView->setObjectName(QStringLiteral("mView"));
    for (QAction* item : m_levelItems)
        mView->addAction(item);
    separator(mView, QStringLiteral("mViewSep1"));
    mView->addAction(m_mViewDetails);
    mView->addAction(m_mViewRefresh);
    separator(mView, QStringLiteral("mViewSep2"));
    mView->addAction(m_mViewFilter);
    separator(mView, QStringLiteral("mViewSep3"));
    mView->addAction(m_mViewPreferences);
    mView->addAction(m_mViewEmailNotificationPreferences);

    QMenu* mHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mHelp->setObjectName(QStringLiteral("mHelp"));
    mHelp->addAction(m_mHelpTopics);
    mHelp->addAction(m_mHelpAbout);

    // Not on the menu bar: the grid's right-click menu.
    m_mPopup = new QMenu(QStringLiteral("popup"), this);
    m_mPopup->setObjectName(QStringLiteral("mPopup"));
    m_mPopup->addAction(m_mPopupDetails);
    separator(m_mPopup, QStringLiteral("mPopupSep1"));
    m_mPopup->addAction(m_mPopupDelete);
}

void frmView::createToolbar()
{
    m_toolbar = addToolBar(QStringLiteral("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolbar->setIconSize(QSize(22, 22));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);

    for (const QString& key : toolbarKeys) {
        if (key.isEmpty()) {
            m_toolbar->addSeparator();
            continue;
        }
        auto* button = new QAction(toolbarTips().value(key), this);
        button->setObjectName(key);
        button->setToolTip(toolbarTips().value(key));
        const auto level = AuditLevelByKeyword(key);
        if (level) {
            button->setCheckable(true);
            m_levelButtons[level->value] = button;
        }
        connect(button, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
        m_toolbar->addAction(button);
        // The button widget answers to the key too, so it can be found and clicked.
        if (QWidget* widget = m_toolbar->widgetForAction(button))
            widget->setObjectName(key);
    }
}

void frmView::createGrid()
{
    m_model = new AuditTableModel(AuditView::instance(), this);
    m_ssView = new QTableView(this);
    m_ssView->setObjectName(QStringLiteral("ssView"));
    m_ssView->setModel(m_model);
    m_ssView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_ssView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_ssView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_ssView->setAlternatingRowColors(true);
    m_ssView->setShowGrid(false);
    m_ssView->setWordWrap(false);
    m_ssView->setTextElideMode(Qt::ElideRight);
    m_ssView->setSortingEnabled(false);
    m_ssView->setCornerButtonEnabled(false);
    m_ssView->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_ssView->setIconSize(QSize(16, 16));
    m_ssView->setTabKeyNavigation(false);

    // Rows of one fixed height: the grid never measures rows, so a million of
    // them cost nothing until painted.
    QHeaderView* rows = m_ssView->verticalHeader();
    rows->setVisible(false);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 8);

    QHeaderView* headings = m_ssView->horizontalHeader();
    headings->setSectionsClickable(true);
    headings->setHighlightSections(false);
    headings->setSortIndicatorShown(true);
    headings->setStretchLastSection(true);
    headings->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* headingStyle = new GridHeaderStyle;
    headingStyle->setParent(headings);
    headings->setStyle(headingStyle);
    headings->setSectionResizeMode(QHeaderView::Interactive);

    // Design widths from the font, so that dates and numbers fit.
    const QFontMetrics fm = fontMetrics();
    const int pad = 24;
    const QString sampleWhen = AuditTableModel::whenText(QStringLiteral("2003-12-28 22:59:58"));
    const int n = fm.horizontalAdvance(QLatin1Char('n'));
    const std::array<int, 9> widths = {
        fm.horizontalAdvance(QStringLiteral("AutoIndex")) + pad,
        fm.horizontalAdvance(QStringLiteral("Warning")) + 16 + pad + 8,
        fm.horizontalAdvance(QStringLiteral("999999")) + pad,
        n * 38,
        fm.horizontalAdvance(QStringLiteral("Notification Service")) + pad,
        fm.horizontalAdvance(sampleWhen) + pad,
        fm.horizontalAdvance(QStringLiteral("operator01")) + pad,
        n * 28,
        n * 24,
    };
    for (int column = 0; column < static_cast<int>(widths.size()); ++column)
        headings->resizeSection(column, widths[static_cast<size_t>(column)]);

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

    m_ssView->installEventFilter(this);
    m_ssView->viewport()->installEventFilter(this);
    setCentralWidget(m_ssView);
    setFocusProxy(m_ssView);
}

QAction* frmView::toolbarButton(const QString& key) const
{
    for (QAction* action : m_toolbar->actions())
        if (action->objectName() == key)
            return action;
    return nullptr;
}

// Load -----------------------------------------------------------------------

void frmView::Form_Load()
{
    m_loading = true;
    applyColumnWidths();
    // Every toolbar button already carries the image of its key.
    for (const QString& key : toolbarKeys)
        if (QAction* button = key.isEmpty() ? nullptr : toolbarButton(key))
            button->setIcon(LevelIcons::forKey(key));
    applyPlacement();
    applyLevels();
    m_loading = false;

    SetViewCommands(this);
    loadViewData();
    Form_Resize();
}

void frmView::applyColumnWidths()
{
    const Twips twips(this);
    for (int n = 1; n <= m_model->columnCount(); ++n) {
        const auto stored = Twips::read(GetSettingValue(SettingKey::ColWidth(n)));
        if (!stored || *stored <= 0)
            continue;
        const int width = twips.toPixelsX(*stored);
        if (width > 0)
            m_ssView->horizontalHeader()->resizeSection(n - 1, qMin(width, 4000));
    }
}

void frmView::applyPlacement()
{
    const QRect screen =
        this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 1280, 800);
    resize(qMin(DesignWidth, screen.width() * 9 / 10),
           qMin(DesignHeight, screen.height() * 9 / 10));

    const QString state = GetSettingValue(SettingKey::WindowState, QStringLiteral("0")).trimmed();
    if (state == QLatin1String("2")) {
        setWindowState(Qt::WindowMaximized);
        return;
    }

    const Twips twips(this);
    auto read = [](const QString& key) { return Twips::read(GetSettingValue(key)); };
    const auto height = read(SettingKey::Height);
    const auto width = read(SettingKey::Width);
    const int h = height && *height > 0 ? twips.toPixelsY(*height) : this->height();
    const int w = width && *width > 0 ? twips.toPixelsX(*width) : this->width();
    resize(qMax(w, 320), qMax(h, 200));

    const auto top = read(SettingKey::Top);
    const auto left = read(SettingKey::Left);
    int y = top ? twips.toPixelsY(*top) : screen.y() + (screen.height() - this->height()) / 2;
    int x = left ? twips.toPixelsX(*left) : screen.x() + (screen.width() - this->width()) / 2;
    // A placement saved on a larger screen must not leave the window out of reach.
    if (QScreen* primary = this->screen()) {
        const QRect all = primary->virtualGeometry();
        if (!all.intersects(
                QRect(x, y, this->width(), this->height()).adjusted(40, 10, -40, -10))) {
            y = screen.y() + (screen.height() - this->height()) / 2;
            x = screen.x() + (screen.width() - this->width()) / 2;
        }
    }
    move(x, y);
}

void frmView::applyLevels()
{
    for (const AuditLevel& level : AuditLevels()) {
        const bool on = GetSettingBool(level.settingsKey, SettingDefault::Level);
        m_levelOn[level.value] = on;
        m_levelItems[level.value]->setChecked(on);
        m_levelButtons[level.value]->setChecked(m_levelItems[level.value]->isChecked());
    }
}

void frmView::loadViewData()
{
    // Connection string, sort from the settings and the first view query; a
    // missing database is reported there and ends the program.
    LoadViewData();
    updateSortIndicator();
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
    m_mFileDelete->setEnabled(enabled);
}

void frmView::setFindEnabled(bool enabled)
{
    toolbarButton(QStringLiteral("FIND"))->setEnabled(enabled);
    m_mFileFind->setEnabled(enabled);
}

void frmView::updateSortIndicator()
{
    QHeaderView* headings = m_ssView->horizontalHeader();
    const int column = AuditTableModel::columnOf(ViewSortBy1.trimmed());
    if (column < 0) {
        headings->setSortIndicator(-1, Qt::AscendingOrder);
        return;
    }
    // "DESC" applies to the final key only: it reverses the column's order only
    // when that column is AutoIndex itself.
    const bool descending =
        ViewSortBy1 == QLatin1String("AutoIndex") && ViewSortDirection == QLatin1String("DESC");
    headings->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
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
    if (AuditView::instance().isLoading())
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
    QAction* item = m_levelItems[index];
    m_levelOn[index] = !m_levelOn[index];
    item->setChecked(m_levelOn[index]);
    SaveSettingValue(AuditLevels()[index].settingsKey,
                     item->isChecked() ? QStringLiteral("True") : QStringLiteral("False"));
    BuildViewQuery();
    m_levelButtons[index]->setChecked(item->isChecked());
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

    if (FilterWindowOpen) {
        // The filter window works on the selected column: select it as a block.
        const QModelIndex top = m_model->index(0, column);
        const QModelIndex bottom = m_model->index(m_model->rowCount() - 1, column);
        if (top.isValid() && bottom.isValid())
            m_ssView->selectionModel()->select(QItemSelection(top, bottom),
                                               QItemSelectionModel::ClearAndSelect);
    } else {
        BuildViewQuery();
    }

    m_lastSorted = field;
    ViewSortBy2 = GetSettingValue(SettingKey::ReportSortBy2, SettingDefault::ViewerSortBy2);
    ViewSortBy3 = GetSettingValue(SettingKey::ReportSortBy3, SettingDefault::ViewerSortBy3);
    updateSortIndicator();
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
    m_mPopup->popup(globalPos);
}

void frmView::ssView_ColWidthChange(int column, int width)
{
    if (m_loading || width <= 0)
        return;
    SaveSettingValue(SettingKey::ColWidth(column + 1), Twips::text(Twips(this).fromPixelsX(width)));
}

bool frmView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_ssView && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain =
            key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier;
        if (plain && (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Return ||
                      key->key() == Qt::Key_Enter)) {
            ssView_KeyDown(key->key());
            return true;
        }
    }
    if ((watched == m_ssView || watched == m_ssView->viewport()) &&
        event->type() == QEvent::ContextMenu) {
        const auto* menu = static_cast<QContextMenuEvent*>(event);
        QPoint at = menu->globalPos();
        if (menu->reason() != QContextMenuEvent::Mouse) {
            // From the keyboard: at the current cell, or the grid's corner.
            const QRect cell = m_ssView->visualRect(m_ssView->currentIndex());
            at = m_ssView->viewport()->mapToGlobal(cell.isValid() ? cell.center() : QPoint(8, 8));
        }
        ssView_Popup(at);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
