#include "frmOptions.h"

#include "DialogButtons.h"
#include "HelpTopics.h"
#include "NumericText.h"
#include "Purge.h"
#include "Settings.h"
#include "UiHooks.h"
#include "WidgetHooks.h"
#include "frmWarningLevel.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <array>

namespace {

struct Tab
{
    const char* caption;
    const char* tip;
};

const std::array<Tab, 2> tabs = {{
    {"Startup", "Set startup options"},
    {"Warning Level", "Change the weight of errors"},
}};

// Heading, key and width in characters of each list column.
struct Column
{
    const char* heading;
    const char* key;
    int width;
};

const std::array<Column, 3> columns = {{
    {"Error", "ROW_ERROR", 8},
    {"Application", "ROW_APPLICATION", 24},
    {"Weight", "ROW_WEIGTH", 8},
}};

QPushButton* makeButton(QWidget* parent, const char* name, const char* caption)
{
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

frmOptions::frmOptions(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Preferences"));
    setModal(true);

    m_tabStrip = new QTabWidget(this);
    m_tabStrip->setObjectName(QStringLiteral("TabStrip1"));
    m_tabStrip->addTab(makeStartupPage(), QString());
    m_tabStrip->addTab(makeWarningLevelPage(), QString());
    for (int i = 0; i < m_tabStrip->count(); ++i) {
        m_tabStrip->setTabText(i, QString::fromLatin1(tabs[static_cast<size_t>(i)].caption));
        m_tabStrip->setTabToolTip(i, QString::fromLatin1(tabs[static_cast<size_t>(i)].tip));
        m_tabStrip->widget(i)->setObjectName(QStringLiteral("Frame1_%1").arg(i));
    }

    const DialogButtons buttons = DialogButtons::make(
        this, QStringLiteral("cmdOK"), QStringLiteral("OK"), QStringLiteral("cmdCancel"));
    m_cmdOK = buttons.ok;
    m_cmdCancel = buttons.cancel;
    connect(m_cmdOK, &QPushButton::clicked, this, &frmOptions::cmdOK_Click);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmOptions::cmdCancel_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabStrip);
    layout->addWidget(buttons.box);
    InstallHelpKey(this, QStringLiteral("preferences.html"));
    Form_Load();
}

QWidget* frmOptions::makeStartupPage()
{
    auto* page = new QWidget;
    m_txtDays = new QLineEdit(page);
    m_txtDays->setObjectName(QStringLiteral("txtDays"));
    m_txtDays->setMaxLength(3);
    m_txtDays->setFixedWidth(m_txtDays->fontMetrics().horizontalAdvance(QStringLiteral("0000")) +
                             16);
    auto* lblDays1 = new QLabel(QStringLiteral("Delete messages over"), page);
    lblDays1->setObjectName(QStringLiteral("lblDays1"));
    lblDays1->setBuddy(m_txtDays);
    auto* lblDays2 = new QLabel(QStringLiteral("days old on startup."), page);
    lblDays2->setObjectName(QStringLiteral("lblDays2"));

    auto* row = new QHBoxLayout;
    row->addWidget(lblDays1);
    row->addWidget(m_txtDays);
    row->addWidget(lblDays2);
    row->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(row);
    layout->addStretch();
    return page;
}

QWidget* frmOptions::makeWarningLevelPage()
{
    auto* page = new QWidget;
    m_listView = new QTreeWidget(page);
    m_listView->setObjectName(QStringLiteral("ListView1"));
    m_listView->setRootIsDecorated(false);
    m_listView->setUniformRowHeights(true);
    m_listView->setAllColumnsShowFocus(true);
    m_listView->setColumnCount(static_cast<int>(columns.size()));
    QStringList headings;
    for (const Column& column : columns)
        headings.append(QString::fromLatin1(column.heading));
    m_listView->setHeaderLabels(headings);
    const int charWidth = m_listView->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    int listWidth = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
        m_listView->headerItem()->setData(static_cast<int>(i), Qt::UserRole,
                                          QString::fromLatin1(columns[i].key));
        const int width = columns[i].width * charWidth + 12;
        m_listView->setColumnWidth(static_cast<int>(i), width);
        listWidth += width;
    }
    // Every column visible without scrolling sideways.
    m_listView->setMinimumWidth(listWidth + 2 * m_listView->frameWidth() + 20);
    // A heading click sorts that column's texts ascending: error 10 before 9.
    m_listView->header()->setSectionsClickable(true);
    m_listView->header()->setSortIndicatorShown(false);
    connect(m_listView->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        m_sortColumn = column;
        m_listView->header()->setSortIndicatorShown(true);
        m_listView->sortItems(column, Qt::AscendingOrder);
    });
    connect(m_listView, &QTreeWidget::itemDoubleClicked, this, &frmOptions::EditSelectedWeight);

    m_rightClickMenu = new QMenu(page);
    m_rightClickMenu->setObjectName(QStringLiteral("menuRightClickListview"));
    const std::array<std::pair<const char*, const char*>, 3> items = {
        {{"menuAdd", "&Add New"}, {"menuEdit", "&Edit"}, {"menuDelete", "&Delete"}}};
    for (const auto& [name, caption] : items)
        m_rightClickMenu->addAction(QString::fromLatin1(caption))
            ->setObjectName(QString::fromLatin1(name));
    const QList<QAction*> actions = m_rightClickMenu->actions();
    connect(actions[0], &QAction::triggered, this, &frmOptions::menuAdd_Click);
    connect(actions[1], &QAction::triggered, this, &frmOptions::EditSelectedWeight);
    connect(actions[2], &QAction::triggered, this, &frmOptions::DeleteSelectedWeight);
    m_listView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_listView, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        m_rightClickMenu->popup(m_listView->viewport()->mapToGlobal(at));
    });

    auto* addNewButton = makeButton(page, "addNewButton", "&Add");
    auto* editButton = makeButton(page, "editButton", "&Edit");
    auto* deleteButton = makeButton(page, "deleteButton", "&Delete");
    connect(addNewButton, &QPushButton::clicked, this, &frmOptions::AddWeightEntry);
    connect(editButton, &QPushButton::clicked, this, &frmOptions::EditSelectedWeight);
    connect(deleteButton, &QPushButton::clicked, this, &frmOptions::DeleteSelectedWeight);
    auto* buttonColumn = new QVBoxLayout;
    buttonColumn->addWidget(addNewButton);
    buttonColumn->addWidget(editButton);
    buttonColumn->addWidget(deleteButton);
    buttonColumn->addStretch();

    auto* layout = new QHBoxLayout(page);
    layout->addWidget(m_listView, 1);
    layout->addLayout(buttonColumn);
    return page;
}

int frmOptions::currentTab() const
{
    return m_tabStrip->currentIndex() + 1;
}

void frmOptions::Form_Load()
{
    BusyCursor busy;
    m_txtDays->setText(GetSettingValue(SettingKey::AutoDeleteDays, SettingDefault::AutoDeleteDays));
    m_tabStrip->setCurrentIndex(0);
    FillWeightList();
}

void frmOptions::FillWeightList()
{
    BusyCursor busy;
    QList<WeightRecord> table;
    GetWeightTable(table);
    m_listView->clear();
    for (qsizetype i = 0; i + 1 < table.size(); ++i) {
        const WeightRecord& row = table[i];
        auto* item = new QTreeWidgetItem(m_listView);
        item->setText(0, QString::number(row.error));
        if (row.application != QLatin1String("*"))
            item->setText(1, row.application);
        item->setText(2, QString::number(row.weight));
    }
    if (m_sortColumn >= 0)
        m_listView->sortItems(m_sortColumn, Qt::AscendingOrder);
}

std::optional<WeightRecord> frmOptions::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = m_listView->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    const QTreeWidgetItem* item = selected.first();
    return WeightRecord{item->text(0).toInt(), item->text(1), item->text(2).toInt()};
}

void frmOptions::runWarningLevel(bool placed, const std::optional<WeightRecord>& row)
{
    frmWarningLevel dialog(this);
    if (row) {
        dialog.setReplacedRow(*row);
        dialog.setWarningValues(QString::number(row->error), row->application,
                                QString::number(row->weight));
    }
    if (placed)
        dialog.move(pos());
    ShowModal(&dialog);
    FillWeightList();
}

void frmOptions::AddWeightEntry()
{
    runWarningLevel(true, std::nullopt);
}

void frmOptions::menuAdd_Click()
{
    runWarningLevel(false, std::nullopt);
}

// The row stays in the table until the dialog's OK replaces it, so Cancel
// loses nothing.
void frmOptions::EditSelectedWeight()
{
    runWarningLevel(true, selectedRow());
}

void frmOptions::DeleteSelectedWeight()
{
    std::optional<WeightRecord> row = selectedRow();
    if (!row)
        return;
    AuditError error;
    if (!DeleteWeight(*row, &error))
        ShowMessage(QStringLiteral("The weight was not deleted.\n\nError %1 - %2")
                        .arg(error.number)
                        .arg(error.description),
                    MsgButtons::Ok, MsgIcon::Exclamation, windowTitle());
    FillWeightList();
}

bool frmOptions::SaveStartupOptions()
{
    const QString days = m_txtDays->text();
    // The start-up purge reads the value with DaysNumber: what it could not
    // read is not a number here either.
    const std::optional<double> d =
        NumericText::isNumeric(days) ? DaysNumber(days) : std::optional<double>();
    QString problem;
    if (!d)
        problem = QStringLiteral("Days must be numeric");
    else if (*d < 1 || *d > 999)
        problem = QStringLiteral("Days must be between 1 and 999");
    if (!problem.isEmpty()) {
        ShowMessage(problem, MsgButtons::Ok, MsgIcon::Information, windowTitle());
        m_tabStrip->setCurrentIndex(0);
        m_txtDays->setFocus();
        m_txtDays->selectAll();
        return false;
    }
    BusyCursor busy;
    SaveSettingValue(SettingKey::AutoDeleteDays, days);
    return true;
}

void frmOptions::cmdOK_Click()
{
    if (SaveStartupOptions())
        accept();
}

void frmOptions::cmdCancel_Click()
{
    reject();
}
