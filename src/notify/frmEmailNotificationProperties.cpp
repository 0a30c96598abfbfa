#include "frmEmailNotificationProperties.h"

#include "AppState.h"
#include "HelpTopics.h"
#include "NotificationRules.h"
#include "NotificationStrings.h"
#include "RuleText.h"
#include "UiHooks.h"
#include "WidgetHooks.h"
#include "frmEmailNotificationDetails.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace NotificationRules;

namespace {

struct SizeBox
{
    const char* name;
    const char* before;
    const char* designText;
};
// The three size boxes of the "Attachment options" frame, in key order.
const SizeBox SizeBoxes[] = {
    {"txtAttach", "Attach report if larger than", "1000"},
    {"txtZip", "Attach as Zip if larger than", "100000"},
    {"txtAbortAttach", "Abort attachment if larger than", "500000"},
};

} // namespace

frmEmailNotificationProperties::frmEmailNotificationProperties(QWidget* parent,
                                                               NotificationStrings* store)
    : QDialog(parent), m_store(store ? store : new NotificationStrings), m_ownsStore(!store)
{
    setObjectName(QStringLiteral("frmEmailNotificationProperties"));
    setWindowTitle(QStringLiteral("Email Notification Properties"));

    auto* menuBar = new QMenuBar(this);
    QMenu* view = menuBar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("mEmailNotificationPropertiesView"));
    QAction* details = view->addAction(QStringLiteral("&Details..."));
    details->setObjectName(QStringLiteral("mEmailNotificationPropertiesDetails"));

    fpSpread1 = new QTableWidget(SlotCount, FieldCount, this);
    fpSpread1->setObjectName(QStringLiteral("fpSpread1"));
    QStringList headings;
    for (const RuleField& field : RuleFields())
        headings.append(field.heading);
    fpSpread1->setHorizontalHeaderLabels(headings);
    // Cells change through the rule editor only, so their texts stay in the
    // stored format; a double-click opens the editor instead of a cell editor.
    fpSpread1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fpSpread1->setSelectionMode(QAbstractItemView::SingleSelection);
    fpSpread1->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    for (int row = 0; row < SlotCount; ++row)
        for (int column = 0; column < FieldCount; ++column)
            fpSpread1->setItem(row, column, new QTableWidgetItem);

    auto* frame4 = new QGroupBox(QStringLiteral("Attachment options"), this);
    frame4->setObjectName(QStringLiteral("Frame4"));
    auto* sizes = new QGridLayout(frame4);
    QLineEdit** boxes[] = {&txtAttach, &txtZip, &txtAbortAttach};
    for (int i = 0; i < 3; ++i) {
        auto* box = new QLineEdit(QString::fromLatin1(SizeBoxes[i].designText), frame4);
        box->setObjectName(QString::fromLatin1(SizeBoxes[i].name));
        box->setMaximumWidth(100);
        auto* label = new QLabel(QString::fromLatin1(SizeBoxes[i].before), frame4);
        label->setBuddy(box);
        sizes->addWidget(label, i, 0);
        sizes->addWidget(box, i, 1);
        sizes->addWidget(new QLabel(QStringLiteral("bytes"), frame4), i, 2);
        *boxes[i] = box;
    }
    sizes->setColumnStretch(3, 1);

    auto* cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    auto* cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    buttons->addStretch();
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(frame4, 1);
    bottom->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addWidget(fpSpread1, 1);
    layout->addLayout(bottom);
    resize(1000, 640);

    connect(fpSpread1, &QTableWidget::cellDoubleClicked, this,
            &frmEmailNotificationProperties::fpSpread1_DblClick);
    connect(details, &QAction::triggered, this,
            &frmEmailNotificationProperties::mEmailNotificationPropertiesDetails_Click);
    connect(txtAttach, &QLineEdit::textChanged, this,
            &frmEmailNotificationProperties::txtAttach_Change);
    connect(cmdOK, &QPushButton::clicked, this, &frmEmailNotificationProperties::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this,
            &frmEmailNotificationProperties::cmdCancel_Click);
    InstallHelpKey(this, QStringLiteral("notification-list.html"));
    Form_Load();
}

frmEmailNotificationProperties::~frmEmailNotificationProperties()
{
    if (m_ownsStore)
        delete m_store;
}

void frmEmailNotificationProperties::Form_Load()
{
    BusyCursor busy;
    const RuleSet rules = LoadNotificationRules(*m_store);
    for (int row = 0; row < SlotCount; ++row)
        for (int column = 0; column < FieldCount; ++column)
            fpSpread1->item(row, column)->setText(rules.cells[size_t(row)][size_t(column)]);
    txtAttach->setText(rules.sizes[0]);
    txtZip->setText(rules.sizes[1]);
    txtAbortAttach->setText(rules.sizes[2]);
    fpSpread1->setCurrentCell(0, 0);
}

void frmEmailNotificationProperties::fpSpread1_DblClick(int, int)
{
    // Headings are not cells of the grid, so a double-click on one never
    // arrives here.
    showEditor();
}

void frmEmailNotificationProperties::mEmailNotificationPropertiesDetails_Click()
{
    showEditor();
}

void frmEmailNotificationProperties::showEditor()
{
    if (fpSpread1->currentRow() < 0)
        fpSpread1->setCurrentCell(0, 0);
    frmEmailNotificationDetails editor(fpSpread1, this);
    ShowModal(&editor);
}

void frmEmailNotificationProperties::txtAttach_Change()
{
    // Larger reports than this go as attachments, so the body stays short.
    if (RuleText::leadingNumber(txtAttach->text()) > 2000 && !UnattendedMode) {
        ShowMessage(QStringLiteral("Attach report value must be less then 2000"), MsgButtons::Ok,
                    MsgIcon::None, QStringLiteral("Validation Failure"));
        txtAttach->setText(QStringLiteral("2000"));
    }
}

void frmEmailNotificationProperties::cmdOK_Click()
{
    RuleSet rules;
    for (int row = 0; row < SlotCount; ++row)
        for (int column = 0; column < FieldCount; ++column)
            rules.cells[size_t(row)][size_t(column)] = fpSpread1->item(row, column)->text();
    rules.sizes = {txtAttach->text(), txtZip->text(), txtAbortAttach->text()};
    QString error;
    bool saved;
    {
        BusyCursor busy;
        saved = SaveNotificationRules(rules, *m_store, error);
    }
    if (!saved) {
        // Nothing was stored; the window stays open with the operator's work.
        ShowMessage(QStringLiteral("The notification rules were not saved: %1").arg(error),
                    MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    accept();
}

void frmEmailNotificationProperties::cmdCancel_Click()
{
    reject();
}
