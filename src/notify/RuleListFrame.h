#pragma once

#include "RuleListEdit.h"

#include <QGroupBox>

class QLineEdit;
class QListWidget;
class QPushButton;

// One include or exclude list of the rule editor: a frame with the entry box
// txt<name>, the list lst<name> and the buttons cmd<name>Add, Update, Delete.
// The handlers apply RuleListEdit and show its message; each ends by emitting
// changed(), on which the editor updates the enabling of the kind's two lists.
class RuleListFrame : public QGroupBox
{
    Q_OBJECT

public:
    RuleListFrame(RuleListEdit::Kind kind, const QString& name, const QString& caption,
                  QWidget* parent);

    // Fills the list from a stored text, selecting the first entry.
    void load(const QString& stored);
    QStringList entries() const { return m_edit.entries; }
    int count() const { return int(m_edit.entries.size()); }
    void setSideState(const RuleListSideState& state);

signals:
    void changed();

private slots:
    void lst_Click();
    void cmdAdd_Click();
    void cmdUpdate_Click();
    void cmdDelete_Click();

private:
    void run(QString (RuleListEdit::*handler)());
    void showEdit();

    RuleListEdit m_edit;
    QLineEdit* txt = nullptr;
    QListWidget* lst = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdUpdate = nullptr;
    QPushButton* cmdDelete = nullptr;
};
