#include "frmEmailNotificationDetails.h"

#include "AppState.h"
#include "AuditColumns.h"
#include "HelpTopics.h"
#include "NotificationRules.h"
#include "RuleListFrame.h"
#include "RuleText.h"
#include "UiHooks.h"
#include "WidgetHooks.h"
#include "ZlkApi.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

using namespace NotificationRules;

namespace {

// optReportType index, caption, and the text of field 1 it stands for.
struct ReportTypeOption
{
    const char* caption;
    const char* stored;
};
const ReportTypeOption ReportTypes[] = {
    {"&Full", "Full"},
    {"Fu&ll Detail", "Detailed Full"},
    {"&Summary", "Summary"},
    {"Summar&y Detail", "Detailed Summary"},
};

const QString Minutes = QStringLiteral("Minutes");
const QString Hourly = QStringLiteral("Hourly");
const QString Daily = QStringLiteral("Daily");
const QString ValidationFailure = QStringLiteral("Validation Failure");

QRadioButton* addOption(QButtonGroup* group, const QString& name, int index, const QString& caption)
{
    auto* option = new QRadioButton(caption);
    option->setObjectName(name + QString::number(index));
    group->addButton(option, index);
    return option;
}

QCheckBox* checkBox(const QString& name, const QString& caption)
{
    auto* box = new QCheckBox(caption);
    box->setObjectName(name);
    return box;
}

QGroupBox* frame(const QString& caption, QLayout* content, bool bold = false)
{
    auto* box = new QGroupBox(caption);
    box->setLayout(content);
    if (bold)
        box->setStyleSheet(QStringLiteral("QGroupBox { font-weight: bold; }"
                                          " QGroupBox * { font-weight: normal; }"));
    return box;
}

QLabel* label(const QString& text, bool bold = false, bool wrap = true)
{
    auto* result = new QLabel(text);
    result->setWordWrap(wrap);
    if (bold) {
        QFont font = result->font();
        font.setBold(true);
        result->setFont(font);
    }
    return result;
}

} // namespace

frmEmailNotificationDetails::frmEmailNotificationDetails(QTableWidget* grid, QWidget* parent)
    : QDialog(parent), fpSpread1(grid), m_row(qMax(0, grid->currentRow()))
{
    setObjectName(QStringLiteral("frmEmailNotificationDetails"));
    setWindowTitle(QStringLiteral("Email Notification Property Details"));

    fraErrorNumber = new RuleListFrame(RuleListEdit::ErrorInclude, QStringLiteral("ErrorNumber"),
                                       QStringLiteral("Error Number(s) Explicitly Include"), this);
    fraErrorNumberExclude =
        new RuleListFrame(RuleListEdit::ErrorExclude, QStringLiteral("ErrorNumberExclude"),
                          QStringLiteral("Error Number(s) to Explicitly Exclude"), this);
    fraApplication =
        new RuleListFrame(RuleListEdit::ApplicationInclude, QStringLiteral("Application"),
                          QStringLiteral("Application(s) to Explicitly Include"), this);
    fraApplicationExclude =
        new RuleListFrame(RuleListEdit::ApplicationExclude, QStringLiteral("ApplicationExclude"),
                          QStringLiteral("Application(s) to Explicitly Exclude"), this);

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->addTab(buildGeneralTab(), QStringLiteral("General Properties"));
    SSTab1->addTab(
        buildListTab(fraErrorNumber, fraErrorNumberExclude,
                     {QStringLiteral("This optional property limits the report to only those "
                                     "listed in 'Error Numbe(s) to Explicitly Include'"),
                      QStringLiteral("Limits the report by including all applications except "
                                     "those listed in 'Error Numbe(s) to Explicitly Exclude'"),
                      QStringLiteral("The error number of 9999 is always excluded, and cannot be "
                                     "included for automated emailing."),
                      QStringLiteral("9999 is used explicitly for Email errors and would cause "
                                     "and endless loop of emails reporting email the email "
                                     "error.")}),
        QStringLiteral("Error Number Includes or Excludes"));
    SSTab1->addTab(
        buildListTab(fraApplication, fraApplicationExclude,
                     {QStringLiteral("This optional property limits the report to only those "
                                     "listed in 'Applications to Explicetly Iinclude'"),
                      QStringLiteral("limits the report by including all applications except "
                                     "those listed in 'Application(s) to Explicetly Exclude'"),
                      QStringLiteral("The Application named must identically match the "
                                     "Application name as listed in the Audit Log")}),
        QStringLiteral("Application Includes or Excludes"));
    SSTab1->addTab(buildTimingTab(), QStringLiteral("Timing"));

    auto* cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    auto* cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto* cmdDelete = new QPushButton(QStringLiteral("Delete"), this);
    cmdDelete->setObjectName(QStringLiteral("cmdDelete"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdDelete);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1);
    layout->addLayout(buttons);
    resize(780, 470);

    connect(cmdOK, &QPushButton::clicked, this, &frmEmailNotificationDetails::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmEmailNotificationDetails::cmdCancel_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmEmailNotificationDetails::cmdDelete_Click);
    for (RuleListFrame* list : {fraErrorNumber, fraErrorNumberExclude})
        connect(list, &RuleListFrame::changed, this,
                &frmEmailNotificationDetails::UpdateErrorNumberListState);
    for (RuleListFrame* list : {fraApplication, fraApplicationExclude})
        connect(list, &RuleListFrame::changed, this,
                &frmEmailNotificationDetails::UpdateApplicationListState);
    InstallHelpKey(this, QStringLiteral("notification-rule.html"));
    Form_Load();
}

QWidget* frmEmailNotificationDetails::buildGeneralTab()
{
    txtSendTo = new QLineEdit;
    txtSendTo->setObjectName(QStringLiteral("txtSendTo"));
    txtSubject = new QLineEdit;
    txtSubject->setObjectName(QStringLiteral("txtSubject"));
    auto* addresses = new QFormLayout;
    addresses->addRow(label(QStringLiteral("Send to Email Address:"), true, false), txtSendTo);
    addresses->addRow(label(QStringLiteral("Email Subject:"), false, false), txtSubject);

    chkStatus = checkBox(QStringLiteral("chkStatus"), QStringLiteral("&Status"));
    chkWarning = checkBox(QStringLiteral("chkWarning"), QStringLiteral("&Warning"));
    chkError = checkBox(QStringLiteral("chkError"), QStringLiteral("&Error"));
    chkFatal = checkBox(QStringLiteral("chkFatal"), QStringLiteral("&Fatal Error"));
    optAllOrSome = new QButtonGroup(this);
    auto* reportOn = new QGridLayout;
    reportOn->addWidget(chkStatus, 0, 0);
    reportOn->addWidget(chkWarning, 1, 0);
    reportOn->addWidget(chkError, 2, 0);
    reportOn->addWidget(chkFatal, 3, 0);
    reportOn->addWidget(addOption(optAllOrSome, QStringLiteral("optAllOrSome"), 0,
                                  QStringLiteral("All occurrences")), 0, 1);
    reportOn->addWidget(addOption(optAllOrSome, QStringLiteral("optAllOrSome"), 1,
                                  QStringLiteral("Since last check")), 1, 1);

    optReportType = new QButtonGroup(this);
    auto* types = new QVBoxLayout;
    for (int i = 0; i < 4; ++i)
        types->addWidget(addOption(optReportType, QStringLiteral("optReportType"), i,
                                   QString::fromLatin1(ReportTypes[i].caption)));

    optFormat = new QButtonGroup(this);
    auto* formats = new QVBoxLayout;
    formats->addWidget(addOption(optFormat, QStringLiteral("optFormat"), 0, QStringLiteral("Text")));
    formats->addWidget(addOption(optFormat, QStringLiteral("optFormat"), 1, QStringLiteral("HTML")));
    formats->addStretch();

    auto* sortBy = new QFormLayout;
    QComboBox** combos[] = {&cmbFirst, &cmbSecond, &cmbThird};
    const char* names[] = {"cmbFirst", "cmbSecond", "cmbThird"};
    const char* captions[] = {"Fi&rst:", "Se&cond:", "&Third:"};
    for (int i = 0; i < 3; ++i) {
        *combos[i] = new QComboBox;
        (*combos[i])->setObjectName(QString::fromLatin1(names[i]));
        auto* caption = label(QString::fromLatin1(captions[i]), false, false);
        caption->setBuddy(*combos[i]);
        sortBy->addRow(caption, *combos[i]);
    }

    auto* tab = new QWidget;
    auto* grid = new QGridLayout(tab);
    grid->addLayout(addresses, 0, 0, 1, 2);
    grid->addWidget(frame(QStringLiteral("Report On"), reportOn, true), 1, 0);
    grid->addWidget(frame(QStringLiteral("Report Type"), types), 1, 1);
    grid->addWidget(frame(QStringLiteral("Report Format"), formats), 2, 0);
    grid->addWidget(frame(QStringLiteral("Sort By"), sortBy), 2, 1);
    grid->addWidget(label(QStringLiteral("Bold properties are mandatory"), true), 3, 0, 1, 2);
    grid->setRowStretch(4, 1);
    return tab;
}

QWidget* frmEmailNotificationDetails::buildListTab(RuleListFrame* include, RuleListFrame* exclude,
                                                   const QStringList& notes)
{
    auto* tab = new QWidget;
    auto* grid = new QGridLayout(tab);
    grid->addWidget(include, 0, 0);
    auto* orLabel = label(QStringLiteral("OR"), true);
    orLabel->setAlignment(Qt::AlignCenter);
    grid->addWidget(orLabel, 0, 1);
    grid->addWidget(exclude, 0, 2);
    grid->addWidget(label(notes[0]), 1, 0);
    grid->addWidget(label(notes[1]), 1, 2);
    for (int i = 2; i < notes.size(); ++i)
        grid->addWidget(label(notes[i]), i, 0, 1, 3);
    grid->setRowStretch(int(notes.size()), 1);
    return tab;
}

QWidget* frmEmailNotificationDetails::buildTimingTab()
{
    optTiming = new QButtonGroup(this);
    txtCheckSpanMinutes = new QLineEdit;
    txtCheckSpanMinutes->setObjectName(QStringLiteral("txtCheckSpanMinutes"));
    txtCheckSpanMinutes->setMaximumWidth(60);
    DTPicker1 = new QTimeEdit;
    DTPicker1->setObjectName(QStringLiteral("DTPicker1"));
    DTPicker1->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    // A click into the minutes box or an action on the picker picks its option.
    txtCheckSpanMinutes->installEventFilter(this);
    DTPicker1->installEventFilter(this);
    connect(DTPicker1, &QTimeEdit::timeChanged, this, [this] {
        if (!m_loading)
            optTiming->button(2)->setChecked(true);
    });

    auto* minutes = new QHBoxLayout;
    minutes->addWidget(addOption(optTiming, QStringLiteral("optTiming"), 0, QString()));
    minutes->addWidget(txtCheckSpanMinutes);
    minutes->addWidget(label(QStringLiteral("Minute(s)")));
    minutes->addStretch();
    auto* daily = new QHBoxLayout;
    daily->addWidget(addOption(optTiming, QStringLiteral("optTiming"), 2,
                               QStringLiteral("Daily at:")));
    daily->addWidget(DTPicker1);
    daily->addStretch();
    auto* every = new QVBoxLayout;
    every->addLayout(minutes);
    every->addWidget(addOption(optTiming, QStringLiteral("optTiming"), 1, QStringLiteral("Hourly")));
    every->addLayout(daily);

    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(label(QStringLiteral("Check for and report every:"), true));
    layout->addLayout(every);
    layout->addWidget(label(QStringLiteral("This mandatory property defines when the system will ")
                            + QStringLiteral("check for and report on matching audit events.")));
    layout->addWidget(label(
        QStringLiteral("Setting Minutes to less than 10 may adversly affect system performance.")));
    layout->addStretch();
    return tab;
}

bool frmEmailNotificationDetails::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == txtCheckSpanMinutes)
            optTiming->button(0)->setChecked(true);
        else if (watched == DTPicker1)
            optTiming->button(2)->setChecked(true);
    }
    return QDialog::eventFilter(watched, event);
}

QString frmEmailNotificationDetails::cell(int field) const
{
    const QTableWidgetItem* item = fpSpread1->item(m_row, field - 1);
    return item ? item->text() : QString();
}

void frmEmailNotificationDetails::setCell(int field, const QString& text)
{
    if (QTableWidgetItem* item = fpSpread1->item(m_row, field - 1))
        item->setText(text);
    else
        fpSpread1->setItem(m_row, field - 1, new QTableWidgetItem(text));
}

void frmEmailNotificationDetails::Form_Load()
{
    BusyCursor busy;
    m_loading = true;

    // Report type: anything unknown, the empty text of a new rule included, is "Detailed Full".
    int type = 1;
    for (int i = 0; i < 4; ++i)
        if (cell(ReportType) == QString::fromLatin1(ReportTypes[i].stored))
            type = i;
    optReportType->button(type)->setChecked(true);

    const int mask = int(RuleText::leadingNumber(cell(ReportLevel)));
    chkStatus->setChecked(Zlk::bitwiseAnd(mask, StatusBit) == StatusBit);
    chkWarning->setChecked(Zlk::bitwiseAnd(mask, WarningBit) == WarningBit);
    chkError->setChecked(Zlk::bitwiseAnd(mask, ErrorBit) == ErrorBit);
    chkFatal->setChecked(Zlk::bitwiseAnd(mask, FatalBit) == FatalBit);
    optAllOrSome->button(Zlk::bitwiseAnd(mask, AllOccurrencesBit) == AllOccurrencesBit ? 0 : 1)
        ->setChecked(true);

    fraErrorNumber->load(cell(ErrorNumber));
    fraErrorNumberExclude->load(cell(ExcludeErrorNumber));
    fraApplication->load(cell(Application));
    fraApplicationExclude->load(cell(ExcludeApplication));

    txtSendTo->setText(cell(SendTo));
    txtSubject->setText(cell(Subject));

    // The sort keys are offered as the viewer grid's headings and stored as
    // the columns' bound field names; a key that names no column shows empty.
    const QList<QComboBox*> combos = {cmbFirst, cmbSecond, cmbThird};
    for (int i = 0; i < 3; ++i) {
        combos[i]->clear();
        for (const AuditColumns::GridColumn& column : AuditColumns::Grid())
            combos[i]->addItem(column.heading);
        const QString heading = AuditColumns::HeadingForField(cell(SortBy1 + i));
        combos[i]->setCurrentIndex(heading.isEmpty() ? -1 : int(combos[i]->findText(heading)));
    }

    const QString timing = cell(AccumulateType);
    optTiming->button(timing == Minutes ? 0 : timing == Hourly ? 1 : 2)->setChecked(true);
    if (timing == Minutes)
        txtCheckSpanMinutes->setText(cell(AccumulateTime));
    else if (timing == Daily)
        DTPicker1->setTime(RuleText::dailyTimeFromText(cell(AccumulateTime)));

    optFormat->button(cell(Html) == QStringLiteral("False") ? 0 : 1)->setChecked(true);

    UpdateErrorNumberListState();
    UpdateApplicationListState();
    m_loading = false;
}

void frmEmailNotificationDetails::UpdateErrorNumberListState()
{
    // The system exclusion 9999 does not count as an exclude entry.
    const RuleListStates states = ListStates(fraErrorNumber->count(), fraErrorNumberExclude->count(), 1);
    fraErrorNumber->setSideState(states.include);
    fraErrorNumberExclude->setSideState(states.exclude);
}

void frmEmailNotificationDetails::UpdateApplicationListState()
{
    const RuleListStates states = ListStates(fraApplication->count(), fraApplicationExclude->count(), 0);
    fraApplication->setSideState(states.include);
    fraApplicationExclude->setSideState(states.exclude);
}

bool frmEmailNotificationDetails::validate()
{
    if (!chkStatus->isChecked() && !chkWarning->isChecked() && !chkError->isChecked() &&
        !chkFatal->isChecked()) {
        ShowMessage(QStringLiteral("At least one Report level must be selected"), MsgButtons::Ok,
                    MsgIcon::None, ValidationFailure);
        return false;
    }
    if (txtSendTo->text().isEmpty()) {
        ShowMessage(QStringLiteral("'Send to Email Address' is a required entry"), MsgButtons::Ok,
                    MsgIcon::None, ValidationFailure);
        return false;
    }
    if (optTiming->checkedId() == 0) {
        const double minutes = RuleText::leadingNumber(txtCheckSpanMinutes->text());
        if (minutes < 1 || minutes > 60) {
            ShowMessage(QStringLiteral("Time value must be between 1 and 60 minutes"),
                        MsgButtons::Ok, MsgIcon::None, ValidationFailure);
            return false;
        }
        // Unattended, nothing is asked and the answer is Ok: the save goes on.
        if (minutes < 10 &&
            ShowMessage(QStringLiteral("It is advisable to set 'Check for and report on matching "
                                       "events' to a value of at least 10 minutes"),
                        MsgButtons::RetryCancel) == MsgAnswer::Retry)
            return false;
    }
    return true;
}

void frmEmailNotificationDetails::cmdOK_Click()
{
    if (!validate())
        return;
    BusyCursor busy;
    // Tested in this order, as the stored texts were always chosen.
    const int types[] = {0, 2, 3, 1};
    for (int i : types)
        if (optReportType->checkedId() == i) {
            setCell(ReportType, QString::fromLatin1(ReportTypes[i].stored));
            break;
        }

    int mask = chkStatus->isChecked() ? StatusBit : 0;
    if (chkWarning->isChecked())
        mask = Zlk::bitwiseOr(mask, WarningBit);
    if (chkError->isChecked())
        mask = Zlk::bitwiseOr(mask, ErrorBit);
    if (chkFatal->isChecked())
        mask = Zlk::bitwiseOr(mask, FatalBit);
    if (optAllOrSome->checkedId() == 0)
        mask = Zlk::bitwiseOr(mask, AllOccurrencesBit);
    setCell(ReportLevel, QString::number(mask));

    setCell(ErrorNumber, RuleText::joinList(fraErrorNumber->entries()));
    setCell(ExcludeErrorNumber, RuleText::joinList(fraErrorNumberExclude->entries()));
    setCell(Application, RuleText::joinList(fraApplication->entries()));
    setCell(ExcludeApplication, RuleText::joinList(fraApplicationExclude->entries()));
    setCell(SendTo, txtSendTo->text());
    setCell(Subject, txtSubject->text());

    // A combo text that names no heading leaves the stored key as it was.
    const QList<QComboBox*> combos = {cmbFirst, cmbSecond, cmbThird};
    for (int i = 0; i < 3; ++i) {
        const QString field = AuditColumns::FieldForHeading(combos[i]->currentText());
        if (!field.isEmpty())
            setCell(SortBy1 + i, field);
    }

    switch (optTiming->checkedId()) {
    case 0:
        setCell(AccumulateTime, txtCheckSpanMinutes->text());
        setCell(AccumulateType, Minutes);
        break;
    case 1:
        setCell(AccumulateTime, QString());
        setCell(AccumulateType, Hourly);
        break;
    default:
        setCell(AccumulateTime, RuleText::dailyTimeText(DTPicker1->time()));
        setCell(AccumulateType, Daily);
        break;
    }
    setCell(Html, optFormat->checkedId() == 1 ? QStringLiteral("True") : QStringLiteral("False"));
    accept();
}

void frmEmailNotificationDetails::cmdDelete_Click()
{
    // Without an address the slot holds no rule: the list's OK erases all its keys.
    BusyCursor busy;
    setCell(ReportType, QString());
    setCell(SendTo, QString());
    setCell(Subject, QString());
    accept();
}

void frmEmailNotificationDetails::cmdCancel_Click()
{
    reject();
}
