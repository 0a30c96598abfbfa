#include "frmReport.h"

#include "AppState.h"
#include "AuditColumns.h"
#include "NumericText.h"
#include "ReportDialogRoutines.h"
#include "Settings.h"
#include "SqlDate.h"
#include "UiHooks.h"
#include "WidgetHooks.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>
#include <cmath>
#include <limits>
#include <optional>

namespace {

const QString DatePickerFormat = QStringLiteral("MM/dd/yyyy");
constexpr int AttachLimit = 2000;

// A number as the program reads every numeric text (NumericText).
std::optional<double> readNumber(const QString& text)
{
    return NumericText::toNumber(text);
}

// A numeric text as a 32-bit whole number (halves round to even), or nothing
// when it is not numeric or beyond the 32-bit range.
std::optional<int32_t> readInt32(const QString& text)
{
    const auto value = readNumber(text);
    if (!value)
        return std::nullopt;
    const double whole = std::nearbyint(*value);
    if (whole < std::numeric_limits<int32_t>::min() || whole > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(whole);
}

// An option index stored as text: the numbers 0, 1 and 2 select that option,
// anything else (another number, a blank, a word) the last option, 3.
int storedOptionIndex(const QString& key, const QString& defaultValue)
{
    const auto value = readNumber(GetSettingValue(key, defaultValue));
    if (value && (*value == 0 || *value == 1 || *value == 2))
        return static_cast<int>(*value);
    return 3;
}

// Dates are stored as ISO text, which reads back the same on any locale; a
// date in the locale's own short form (as older versions wrote it) is read too.
QDate storedDate(const QString& key)
{
    const auto value = ReadLocaleDateTime(GetSettingValue(key));
    return value ? value->date() : QDate::currentDate();
}

QString boolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QRadioButton* addOption(QButtonGroup* group, const QString& name, int index, const QString& caption)
{
    auto* option = new QRadioButton(caption);
    option->setObjectName(name + QString::number(index));
    group->addButton(option, index);
    return option;
}

QGroupBox* groupBox(const QString& name, const QString& caption)
{
    auto* box = new QGroupBox(caption);
    box->setObjectName(name);
    return box;
}

QLineEdit* numberBox(const QString& name, int digits)
{
    auto* box = new QLineEdit;
    box->setObjectName(name);
    box->setAlignment(Qt::AlignRight);
    const int width = box->fontMetrics().horizontalAdvance(QString(digits + 2, QLatin1Char('0')));
    box->setFixedWidth(width + 2 * box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 8);
    return box;
}

QDateEdit* datePicker(const QString& name)
{
    auto* picker = new QDateEdit;
    picker->setObjectName(name);
    picker->setDisplayFormat(DatePickerFormat);
    picker->setCalendarPopup(true);
    picker->setMinimumDate(QDate(100, 1, 1));
    return picker;
}

QComboBox* sortList(const QString& name)
{
    auto* list = new QComboBox;
    list->setObjectName(name);
    // Editable so that a list can be cleared (no sort key); typed text is not added.
    list->setEditable(true);
    list->setInsertPolicy(QComboBox::NoInsert);
    list->setMinimumContentsLength(14);
    return list;
}

QPushButton* button(const QString& name, const QString& caption)
{
    auto* push = new QPushButton(caption);
    push->setObjectName(name);
    return push;
}

} // namespace

frmReport::frmReport(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmReport"));
    setWindowTitle(tr("Print"));
    buildControls();
    Form_Load();

    // Connected after loading: only the operator's edits select an option.
    connect(txtDays1, &QLineEdit::textEdited, this, &frmReport::txtDays1_Change);
    connect(txtDays2, &QLineEdit::textEdited, this, &frmReport::txtDays2_Change);
    connect(DTPicker1, &QDateEdit::dateChanged, this, &frmReport::DTPicker_Change);
    connect(DTPicker2, &QDateEdit::dateChanged, this, &frmReport::DTPicker_Change);
    connect(txtAttach, &QLineEdit::textEdited, this, &frmReport::txtAttach_Change);
    connect(cmdOK, &QPushButton::clicked, this, &frmReport::cmdOK_Click);
    connect(cmdPreview, &QPushButton::clicked, this, &frmReport::cmdPreview_Click);
    connect(cmdEmail, &QPushButton::clicked, this, &frmReport::cmdEmail_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmReport::reject);
}

void frmReport::buildControls()
{
    // Report Type
    optReportType = new QButtonGroup(this);
    auto* fraReportType = groupBox(QStringLiteral("fraReportType"), tr("Report Type"));
    auto* typeLayout = new QVBoxLayout(fraReportType);
    const QStringList typeCaptions = {tr("&Full"), tr("Fu&ll Detail"), tr("&Summary"),
                                      tr("Summar&y Detail")};
    for (int i = 0; i < typeCaptions.size(); ++i)
        typeLayout->addWidget(
            addOption(optReportType, QStringLiteral("optReportType"), i, typeCaptions[i]));
    typeLayout->addStretch();

    // Report Level
    auto* fraLevel = groupBox(QStringLiteral("fraLevel"), tr("Report Level"));
    auto* levelLayout = new QVBoxLayout(fraLevel);
    auto levelBox = [levelLayout](const QString& name, const QString& caption) {
        auto* box = new QCheckBox(caption);
        box->setObjectName(name);
        levelLayout->addWidget(box);
        return box;
    };
    chkStatus = levelBox(QStringLiteral("chkStatus"), tr("&Status"));
    chkWarning = levelBox(QStringLiteral("chkWarning"), tr("&Warning"));
    chkError = levelBox(QStringLiteral("chkError"), tr("&Error"));
    chkFatal = levelBox(QStringLiteral("chkFatal"), tr("&Fatal Error"));
    levelLayout->addStretch();

    // Date Range: each option with its boxes on one row.
    optDate = new QButtonGroup(this);
    auto* fraDate = groupBox(QStringLiteral("fraDate"), tr("Date Range"));
    auto* dateLayout = new QGridLayout(fraDate);
    txtDays1 = numberBox(QStringLiteral("txtDays1"), 3);
    txtDays2 = numberBox(QStringLiteral("txtDays2"), 3);
    DTPicker1 = datePicker(QStringLiteral("DTPicker1"));
    DTPicker2 = datePicker(QStringLiteral("DTPicker2"));
    auto* lblRange2 = new QLabel(tr("to"));
    lblRange2->setObjectName(QStringLiteral("lblRange2"));
    auto row = [dateLayout](int index, QRadioButton* option, const QList<QWidget*>& widgets) {
        dateLayout->addWidget(option, index, 0);
        auto* line = new QHBoxLayout;
        for (QWidget* widget : widgets)
            line->addWidget(widget);
        line->addStretch();
        dateLayout->addLayout(line, index, 1);
    };
    const QString dateName = QStringLiteral("optDate");
    row(0, addOption(optDate, dateName, 0, tr("&All")), {});
    row(1, addOption(optDate, dateName, 1, tr("&More Than ")), {txtDays1, new QLabel(tr("Days"))});
    row(2, addOption(optDate, dateName, 2, tr("&Less Than")), {txtDays2, new QLabel(tr("Days"))});
    row(3, addOption(optDate, dateName, 3, tr("&From")), {DTPicker1, lblRange2, DTPicker2});
    dateLayout->setColumnStretch(1, 1);

    // Sort By
    auto* fraSort = groupBox(QStringLiteral("fraSort"), tr("Sort By"));
    auto* sortLayout = new QFormLayout(fraSort);
    cmbFirst = sortList(QStringLiteral("cmbFirst"));
    cmbSecond = sortList(QStringLiteral("cmbSecond"));
    cmbThird = sortList(QStringLiteral("cmbThird"));
    sortLayout->addRow(tr("Fi&rst:"), cmbFirst);
    sortLayout->addRow(tr("Se&cond:"), cmbSecond);
    sortLayout->addRow(tr("&Third:"), cmbThird);

    // Email Report Format
    optFormat = new QButtonGroup(this);
    auto* fraFormat = groupBox(QStringLiteral("fraFormat"), tr("Email Report Format"));
    auto* formatLayout = new QVBoxLayout(fraFormat);
    formatLayout->addWidget(addOption(optFormat, QStringLiteral("optFormat"), 0, tr("Text")));
    formatLayout->addWidget(addOption(optFormat, QStringLiteral("optFormat"), 1, tr("HTML")));
    formatLayout->addStretch();

    // Email Attachment options
    auto* fraAttach = groupBox(QStringLiteral("fraAttach"), tr("Email Attachment options"));
    auto* attachLayout = new QGridLayout(fraAttach);
    txtAttach = numberBox(QStringLiteral("txtAttach"), 10);
    txtZip = numberBox(QStringLiteral("txtZip"), 10);
    txtAbortAttach = numberBox(QStringLiteral("txtAbortAttach"), 10);
    auto sizeRow = [attachLayout](int index, const QString& caption, QLineEdit* box) {
        auto* label = new QLabel(caption);
        label->setBuddy(box);
        attachLayout->addWidget(label, index, 0);
        attachLayout->addWidget(box, index, 1);
        attachLayout->addWidget(new QLabel(tr("bytes")), index, 2);
    };
    sizeRow(0, tr("Attach report if larger than"), txtAttach);
    sizeRow(1, tr("Attach as Zip if larger than"), txtZip);
    sizeRow(2, tr("Abort attachment if larger than"), txtAbortAttach);
    attachLayout->setColumnStretch(3, 1);

    // Buttons: Print is the default (Enter); Escape cancels.
    cmdOK = button(QStringLiteral("cmdOK"), tr("&Print"));
    cmdPreview = button(QStringLiteral("cmdPreview"), tr("Pre&view"));
    cmdEmail = button(QStringLiteral("cmdEmail"), tr("&Email"));
    cmdCancel = button(QStringLiteral("cmdCancel"), tr("&Cancel"));
    cmdOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 6, 0, 0);
    buttons->addStretch();
    for (QPushButton* push : {cmdOK, cmdPreview, cmdEmail, cmdCancel})
        buttons->addWidget(push);

    // What to report on the left, how to select, sort and mail it on the right.
    auto* layout = new QGridLayout(this);
    layout->addWidget(fraReportType, 0, 0);
    layout->addWidget(fraDate, 0, 1);
    layout->addWidget(fraLevel, 1, 0);
    layout->addWidget(fraSort, 1, 1);
    layout->addWidget(fraFormat, 2, 0);
    layout->addWidget(fraAttach, 2, 1);
    layout->addLayout(buttons, 3, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Tab order: down the left column, down the right column, then the buttons.
    QList<QWidget*> chain;
    for (QAbstractButton* option : optReportType->buttons())
        chain << option;
    chain << chkStatus << chkWarning << chkError << chkFatal;
    for (QAbstractButton* option : optFormat->buttons())
        chain << option;
    chain << optDate->button(0) << optDate->button(1) << txtDays1 << optDate->button(2) << txtDays2
          << optDate->button(3) << DTPicker1 << DTPicker2;
    chain << cmbFirst << cmbSecond << cmbThird << txtAttach << txtZip << txtAbortAttach;
    chain << cmdOK << cmdPreview << cmdEmail << cmdCancel;
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

void frmReport::Form_Load()
{
    selectIndex(optReportType,
                storedOptionIndex(SettingKey::ReportType, SettingDefault::ReportType));
    selectIndex(optDate, storedOptionIndex(SettingKey::ReportDateSentOpt,
                                           SettingDefault::ReportDateSentOpt));
    txtDays1->setText(GetSettingValue(SettingKey::ReportDaysMore, SettingDefault::ReportDaysMore));
    txtDays2->setText(GetSettingValue(SettingKey::ReportDaysLess, SettingDefault::ReportDaysLess));
    DTPicker1->setDate(storedDate(SettingKey::ReportDaysFrom));
    DTPicker2->setDate(storedDate(SettingKey::ReportDaysTo));
    chkStatus->setChecked(GetSettingIsTrue(SettingKey::LevelStatus, SettingDefault::Level));
    chkWarning->setChecked(GetSettingIsTrue(SettingKey::LevelWarning, SettingDefault::Level));
    chkError->setChecked(GetSettingIsTrue(SettingKey::LevelError, SettingDefault::Level));
    chkFatal->setChecked(GetSettingIsTrue(SettingKey::LevelFatalError, SettingDefault::Level));
    const bool text = GetSettingValue(SettingKey::HTMLFormat, SettingDefault::HTMLFormat) ==
                      QLatin1String("False");
    selectIndex(optFormat, text ? 0 : 1);
    txtAttach->setText(
        GetSettingValue(SettingKey::ReportAttachAtSize, SettingDefault::ReportAttachAtSize));
    txtZip->setText(GetSettingValue(SettingKey::ReportZipAtSize, SettingDefault::ReportZipAtSize));
    txtAbortAttach->setText(
        GetSettingValue(SettingKey::AbortAttachAtSize, SettingDefault::AbortAttachAtSize));

    // The sort lists hold the grid's headings; a list shows the heading of the
    // column bound to its stored field, and stays blank when none is.
    const QString sortBy[] = {
        GetSettingValue(SettingKey::ReportSortBy, SettingDefault::ReportSortBy),
        GetSettingValue(SettingKey::ReportSortBy2, SettingDefault::ReportSortBy2),
        GetSettingValue(SettingKey::ReportSortBy3, SettingDefault::ReportSortBy3)};
    QComboBox* lists[] = {cmbFirst, cmbSecond, cmbThird};
    const QList<AuditColumns::GridColumn>& grid = AuditColumns::Grid();
    for (int i = 0; i < 3; ++i) {
        lists[i]->clear();
        int current = -1;
        for (int column = 0; column < grid.size(); ++column) {
            lists[i]->addItem(grid[column].heading);
            if (sortBy[i] == grid[column].field)
                current = column;
        }
        lists[i]->setCurrentIndex(current);
        if (current < 0)
            lists[i]->setEditText(QString());
    }
}

void frmReport::Form_Unload()
{
    SaveSettingValue(SettingKey::ReportType, QString::number(selectedIndex(optReportType)));
    SaveSettingValue(SettingKey::ReportDateSentOpt, QString::number(selectedIndex(optDate)));
    SaveSettingValue(SettingKey::ReportDaysMore, txtDays1->text());
    SaveSettingValue(SettingKey::ReportDaysLess, txtDays2->text());
    SaveSettingValue(SettingKey::ReportDaysFrom, DTPicker1->date().toString(Qt::ISODate));
    SaveSettingValue(SettingKey::ReportDaysTo, DTPicker2->date().toString(Qt::ISODate));
    SaveSettingValue(SettingKey::LevelStatus, boolText(chkStatus->isChecked()));
    SaveSettingValue(SettingKey::LevelWarning, boolText(chkWarning->isChecked()));
    SaveSettingValue(SettingKey::LevelError, boolText(chkError->isChecked()));
    SaveSettingValue(SettingKey::LevelFatalError, boolText(chkFatal->isChecked()));
    SaveSettingValue(SettingKey::HTMLFormat, boolText(selectedIndex(optFormat) == 1));
    SaveSettingValue(SettingKey::ReportAttachAtSize, txtAttach->text());
    SaveSettingValue(SettingKey::ReportZipAtSize, txtZip->text());
    SaveSettingValue(SettingKey::AbortAttachAtSize, txtAbortAttach->text());

    // A list whose text is no heading leaves its key as it was.
    const std::pair<QComboBox*, QString> sorts[] = {{cmbFirst, SettingKey::ReportSortBy},
                                                    {cmbSecond, SettingKey::ReportSortBy2},
                                                    {cmbThird, SettingKey::ReportSortBy3}};
    for (const auto& [list, key] : sorts) {
        const QString field = AuditColumns::FieldForHeading(list->currentText());
        if (!field.isEmpty())
            SaveSettingValue(key, field);
    }
}

void frmReport::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

void frmReport::ReportOn(int16_t iPrintTo)
{
    auto fail = [this](const QString& text) {
        ShowMessage(text, MsgButtons::Ok, MsgIcon::Information, windowTitle());
    };

    const int reportType = selectedIndex(optReportType);

    if (!chkStatus->isChecked() && !chkWarning->isChecked() && !chkError->isChecked() &&
        !chkFatal->isChecked()) {
        fail(tr("At least one box must be Checked"));
        return;
    }

    int16_t ageMode = 0;
    int16_t days = 0;
    const int dateOption = selectedIndex(optDate);
    if (dateOption == 1 || dateOption == 2) {
        const auto value = readNumber(dateOption == 1 ? txtDays1->text() : txtDays2->text());
        if (!value) {
            fail(tr("Days must be numeric"));
            return;
        }
        if (*value < 1 || *value > 999) {
            fail(tr("Days must be between 1 and 999"));
            return;
        }
        days = static_cast<int16_t>(std::nearbyint(*value));
        ageMode = static_cast<int16_t>(dateOption);
    } else if (dateOption == 3) {
        ageMode = 3;
    }

    // Each size must be a number that fits 32 bits; the abort size too.
    int32_t sizes[3] = {};
    const QLineEdit* sizeBoxes[] = {txtAttach, txtZip, txtAbortAttach};
    for (int i = 0; i < 3; ++i) {
        const auto value = readInt32(sizeBoxes[i]->text());
        if (!value) {
            fail(tr("Bytes must be numeric"));
            return;
        }
        sizes[i] = *value;
    }

    QString sortBy[3];
    const QComboBox* lists[] = {cmbFirst, cmbSecond, cmbThird};
    for (int i = 0; i < 3; ++i)
        sortBy[i] = AuditColumns::FieldForHeading(lists[i]->currentText());

    HtmlOutput = selectedIndex(optFormat) == 1;

    // The pickers' dates as text that reads back as the same date on this locale.
    const QString spanStart = SqlDateLiteral(QStringLiteral("d"), 0, DTPicker1->date());
    const QString spanEnd = SqlDateLiteral(QStringLiteral("d"), 0, DTPicker2->date());
    QString query;
    const ReportRoutine routine = DialogReportRoutine(reportType);
    if (!routine)
        return;
    routine(iPrintTo, chkStatus->isChecked(), chkWarning->isChecked(), chkError->isChecked(),
            chkFatal->isChecked(), ageMode, days, spanStart, spanEnd, false, QString(), QString(),
            sizes[0], sizes[1], sizes[2], sortBy[0], sortBy[1], sortBy[2], query);
}

void frmReport::cmdOK_Click()
{
    ReportOn(0);
    accept();
}

void frmReport::cmdPreview_Click()
{
    ReportOn(1);
}

void frmReport::cmdEmail_Click()
{
    ReportOn(2);
    accept();
}

void frmReport::txtDays1_Change()
{
    selectIndex(optDate, 1);
}

void frmReport::txtDays2_Change()
{
    selectIndex(optDate, 2);
}

void frmReport::DTPicker_Change()
{
    selectIndex(optDate, 3);
}

void frmReport::txtAttach_Change()
{
    const auto value = readNumber(txtAttach->text());
    if (!value || *value <= AttachLimit)
        return;
    ShowMessage(tr("Attach report value must be less then 2000"), MsgButtons::Ok, MsgIcon::None,
                tr("Validation Failure"));
    txtAttach->setText(QString::number(AttachLimit));
}

int frmReport::selectedIndex(const QButtonGroup* group)
{
    return group->checkedId();
}

void frmReport::selectIndex(QButtonGroup* group, int index)
{
    if (QAbstractButton* option = group->button(index))
        option->setChecked(true);
}

void ShowReportDialog(QWidget* parent)
{
    frmReport dialog(parent);
    ShowModal(&dialog);
}
