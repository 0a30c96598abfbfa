#include "frmDetails.h"

#include "AuditTableModel.h"
#include "AuditView.h"
#include "UiHooks.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct Field
{
    const char* caption;
    const char* column;
    int lines; // 1 for a one-line box
};

const std::array<Field, frmDetails::FieldCount> fields = {{
    {"Error:", "Error", 1},
    {"Description:", "Description", 3},
    {"Application:", "Application", 1},
    {"When:", "When", 1},
    {"Response:", "Response", 1},
    {"Level:", "Level", 1},
    {"Task List:", "TaskList", 1},
    {"Unattended:", "Unattended", 1},
    {"User:", "User", 1},
    {"Path:", "Path", 1},
    {"Details:", "Details", 8},
}};

} // namespace

QString frmDetails::fieldOf(int index)
{
    return index >= 0 && index < FieldCount ? QString::fromLatin1(fields[index].column) : QString();
}

frmDetails::frmDetails(QWidget* parent) : frmDetails(AuditView::instance(), parent) {}

frmDetails::frmDetails(AuditView& view, QWidget* parent) : QDialog(parent), m_view(view)
{
    setObjectName(QStringLiteral("frmDetails"));
    setWindowTitle(QStringLiteral("Details"));
    setModal(true);

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignTop);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (int i = 0; i < FieldCount; ++i) {
        const Field& field = fields[static_cast<size_t>(i)];
        QWidget* box = nullptr;
        if (field.lines > 1) {
            auto* text = new QPlainTextEdit(this);
            text->setReadOnly(true);
            text->setTabChangesFocus(true);
            const int lineHeight = text->fontMetrics().lineSpacing();
            text->setFixedHeight(lineHeight * field.lines + 12);
            box = text;
        } else {
            auto* line = new QLineEdit(this);
            line->setReadOnly(true);
            box = line;
        }
        box->setObjectName(QStringLiteral("txtField%1").arg(i));
        auto* label = new QLabel(QString::fromLatin1(field.caption), this);
        label->setObjectName(QStringLiteral("lblField%1").arg(i));
        label->setBuddy(box);
        form->addRow(label, box);
        m_txtField[static_cast<size_t>(i)] = box;
    }

    m_cmdDelete = new QPushButton(QStringLiteral("&Delete"), this);
    m_cmdDelete->setObjectName(QStringLiteral("cmdDelete"));
    m_cmdDelete->setAutoDefault(false);
    m_cmdClose = new QPushButton(QStringLiteral("&Close"), this);
    m_cmdClose->setObjectName(QStringLiteral("cmdClose"));
    m_cmdClose->setDefault(true);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_cmdDelete, QDialogButtonBox::DestructiveRole);
    buttons->addButton(m_cmdClose, QDialogButtonBox::RejectRole);
    connect(m_cmdDelete, &QPushButton::clicked, this, &frmDetails::cmdDelete_Click);
    connect(m_cmdClose, &QPushButton::clicked, this, &frmDetails::cmdClose_Click);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(qMax(560, fontMetrics().horizontalAdvance(QLatin1Char('n')) * 80), sizeHint().height());

    Form_Load();
}

void frmDetails::Form_Load()
{
    // The boxes show whatever row the viewer's record set stands on.
    connect(&m_view, &AuditView::currentRowChanged, this, &frmDetails::showEntry);
    showEntry();
    m_cmdClose->setFocus();
}

void frmDetails::showEntry()
{
    const AuditEntry entry = m_view.currentEntry();
    for (int i = 0; i < FieldCount; ++i) {
        const QString column = fieldOf(i);
        QString text;
        if (entry.AutoIndex != 0) {
            if (column == QLatin1String("When"))
                text = AuditTableModel::whenText(entry.When);
            else if (column == QLatin1String("Unattended"))
                text = entry.Unattended ? QStringLiteral("True") : QStringLiteral("False");
            else
                text = entry.value(column).toString();
        }
        QWidget* box = m_txtField[static_cast<size_t>(i)];
        if (auto* line = qobject_cast<QLineEdit*>(box)) {
            line->setText(text);
            line->setCursorPosition(0);
        } else if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) {
            plain->setPlainText(text);
        }
    }
}

void frmDetails::cmdDelete_Click()
{
    if (ShowMessage(QStringLiteral("Delete this Message?"), MsgButtons::YesNo, MsgIcon::None) !=
        MsgAnswer::Yes)
        return;
    AuditError error;
    if (!m_view.deleteCurrent(&error)) {
        // A database opened for viewing only: say so and keep the window.
        if (error.number == ErrorReadOnly) {
            ShowMessage(QStringLiteral("Error %1 - %2").arg(error.number).arg(error.description),
                        MsgButtons::Ok, MsgIcon::Exclamation, QStringLiteral("Delete"));
            return;
        }
        ReportErrorAndEnd(QStringLiteral("Delete"), error);
        return;
    }
    accept();
}

void frmDetails::cmdClose_Click()
{
    reject();
}
