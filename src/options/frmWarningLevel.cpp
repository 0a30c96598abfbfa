#include "frmWarningLevel.h"

#include "DialogButtons.h"
#include "HelpTopics.h"
#include "NumericText.h"
#include "UiHooks.h"
#include "WidgetHooks.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>
#include <cmath>

namespace {

const std::array<const char*, 4> weightEntries = {"0 - Status", "1 - Warning", "2 - Error",
                                                  "3 - Fatal"};

QComboBox* makeBox(QWidget* parent, const char* name, bool editable)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(editable);
    // Typed texts stay typed texts: the list never grows from them.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMinimumContentsLength(18);
    return box;
}

} // namespace

frmWarningLevel::frmWarningLevel(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmWarningLevel"));
    setWindowTitle(QStringLiteral("Warning Level"));
    setModal(true);

    m_errorBox = makeBox(this, "errorBox", true);
    m_applicationBox = makeBox(this, "applicationBox", true);
    m_weightBox = makeBox(this, "weightBox", false);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Error:"), m_errorBox);
    form->addRow(QStringLiteral("Application:"), m_applicationBox);
    form->addRow(QStringLiteral("Weight:"), m_weightBox);

    const DialogButtons buttons = DialogButtons::make(
        this, QStringLiteral("saveButton"), QStringLiteral("&OK"), QStringLiteral("cancelButton"));
    m_saveButton = buttons.ok;
    m_cancelButton = buttons.cancel;
    connect(m_saveButton, &QPushButton::clicked, this, &frmWarningLevel::saveButton_Click);
    connect(m_cancelButton, &QPushButton::clicked, this, &frmWarningLevel::cancelButton_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons.box);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (QComboBox* box : {m_errorBox, m_applicationBox, m_weightBox}) {
        connect(box, &QComboBox::currentTextChanged, this, &frmWarningLevel::updateSaveButton);
        connect(box, &QComboBox::currentIndexChanged, this, &frmWarningLevel::updateSaveButton);
    }
    InstallHelpKey(this, QStringLiteral("warning-level.html"));
    Form_Load();
}

void frmWarningLevel::Form_Load()
{
    QStringList errors;
    GetWeightErrors(errors);
    m_errorBox->addItems(errors.mid(0, errors.size() - 1));
    QStringList applications;
    GetWeightApplications(applications);
    applications.removeLast();
    applications.removeAll(QStringLiteral("*"));
    m_applicationBox->addItems(applications);
    for (const char* entry : weightEntries)
        m_weightBox->addItem(QString::fromLatin1(entry));
    // Filled boxes show their first entry; the dialog opens empty.
    m_errorBox->setCurrentIndex(-1);
    m_applicationBox->setCurrentIndex(-1);
    m_errorBox->clearEditText();
    m_applicationBox->clearEditText();
    m_weightBox->setCurrentIndex(0);
    m_saveButton->setEnabled(false);
}

void frmWarningLevel::updateSaveButton()
{
    m_saveButton->setEnabled(!m_errorBox->currentText().trimmed().isEmpty() &&
                             !m_weightBox->currentText().trimmed().isEmpty());
}

void frmWarningLevel::setWarningValues(const QString& errorValue, const QString& applicationValue,
                                       const QString& weightValue)
{
    m_errorBox->setEditText(errorValue);
    m_applicationBox->setEditText(applicationValue);
    const double w = NumericText::isNumeric(weightValue)
                         ? std::nearbyint(NumericText::leadingNumber(weightValue))
                         : -1;
    m_weightBox->setCurrentIndex(w >= 0 && w < m_weightBox->count() ? static_cast<int>(w) : 0);
    updateSaveButton();
}

std::optional<int> frmWarningLevel::errorNumber(const QString& text)
{
    // nearbyint rounds half to even in the default rounding mode.
    const double e = std::nearbyint(NumericText::leadingNumber(text));
    if (!(e >= 0 && e <= 32767))
        return std::nullopt;
    return static_cast<int>(e);
}

void frmWarningLevel::saveButton_Click()
{
    const std::optional<int> error = errorNumber(m_errorBox->currentText());
    if (!error) {
        ShowMessage(QStringLiteral("Error must be between 0 and 32767"), MsgButtons::Ok,
                    MsgIcon::Critical);
        m_errorBox->setFocus();
        m_errorBox->lineEdit()->selectAll();
        return;
    }
    const QString application = m_applicationBox->currentText();
    const WeightRecord row{*error, application.isEmpty() ? QStringLiteral("*") : application,
                           m_weightBox->currentIndex()};
    AuditError failure;
    bool saved = true;
    {
        BusyCursor busy;
        if (m_replaced) {
            saved = DeleteWeight(*m_replaced, &failure);
            if (saved)
                m_replaced.reset();
        }
        saved = saved && SaveWeight(row, &failure);
    }
    if (!saved) {
        ShowMessage(QStringLiteral("The weight was not saved.\n\nError %1 - %2")
                        .arg(failure.number)
                        .arg(failure.description),
                    MsgButtons::Ok, MsgIcon::Exclamation, windowTitle());
        return;
    }
    accept();
}

void frmWarningLevel::cancelButton_Click()
{
    reject();
}
