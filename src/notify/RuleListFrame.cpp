#include "RuleListFrame.h"

#include "RuleText.h"
#include "UiHooks.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

RuleListFrame::RuleListFrame(RuleListEdit::Kind kind, const QString& name, const QString& caption,
                             QWidget* parent)
    : QGroupBox(caption, parent)
{
    m_edit.kind = kind;
    setObjectName(QStringLiteral("fra") + name);
    txt = new QLineEdit(this);
    txt->setObjectName(QStringLiteral("txt") + name);
    lst = new QListWidget(this);
    lst->setObjectName(QStringLiteral("lst") + name);
    cmdAdd = new QPushButton(QStringLiteral("A&dd"), this);
    cmdAdd->setObjectName(QStringLiteral("cmd%1Add").arg(name));
    cmdUpdate = new QPushButton(QStringLiteral("&Update"), this);
    cmdUpdate->setObjectName(QStringLiteral("cmd%1Update").arg(name));
    cmdDelete = new QPushButton(QStringLiteral("De&lete"), this);
    cmdDelete->setObjectName(QStringLiteral("cmd%1Delete").arg(name));

    auto* layout = new QGridLayout(this);
    layout->addWidget(txt, 0, 0);
    layout->addWidget(lst, 1, 0, 4, 1);
    layout->addWidget(cmdAdd, 1, 1);
    layout->addWidget(cmdUpdate, 2, 1);
    layout->addWidget(cmdDelete, 3, 1);
    layout->setRowStretch(4, 1);

    // A click or a key that selects an entry; the list refills itself with signals blocked.
    connect(lst, &QListWidget::currentRowChanged, this, &RuleListFrame::lst_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &RuleListFrame::cmdAdd_Click);
    connect(cmdUpdate, &QPushButton::clicked, this, &RuleListFrame::cmdUpdate_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &RuleListFrame::cmdDelete_Click);
}

void RuleListFrame::load(const QString& stored)
{
    m_edit.entries = RuleText::splitList(stored);
    m_edit.selected = -1;
    m_edit.text.clear();
    m_edit.select(0);
    showEdit();
}

void RuleListFrame::setSideState(const RuleListSideState& state)
{
    txt->setEnabled(state.entry);
    cmdAdd->setEnabled(state.add);
    cmdUpdate->setEnabled(state.update);
    cmdDelete->setEnabled(state.remove);
    lst->setEnabled(state.list);
}

void RuleListFrame::lst_Click()
{
    m_edit.select(lst->currentRow());
    txt->setText(m_edit.text);
}

void RuleListFrame::cmdAdd_Click()
{
    run(&RuleListEdit::add);
}

void RuleListFrame::cmdUpdate_Click()
{
    run(&RuleListEdit::update);
}

void RuleListFrame::cmdDelete_Click()
{
    run(&RuleListEdit::remove);
}

void RuleListFrame::run(QString (RuleListEdit::*handler)())
{
    m_edit.text = txt->text();
    const QString message = (m_edit.*handler)();
    if (!message.isEmpty())
        ShowMessage(message, MsgButtons::Ok, MsgIcon::Information);
    showEdit();
    emit changed();
}

void RuleListFrame::showEdit()
{
    const QSignalBlocker blocker(lst);
    lst->clear();
    lst->addItems(m_edit.entries);
    lst->setCurrentRow(m_edit.selected);
    txt->setText(m_edit.text);
}
