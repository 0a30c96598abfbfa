#pragma once

#include "WeightTableRoutines.h"

#include <QDialog>
#include <optional>

class QComboBox;
class QPushButton;

// The warning level dialog: one row of the weight table, an error number, an
// application (empty for every application) and the level given to them. OK
// stores the row; Cancel and the close box store nothing.
class frmWarningLevel : public QDialog
{
    Q_OBJECT

public:
    explicit frmWarningLevel(QWidget* parent = nullptr);

    // Pre-fills the dialog with a row's texts. A weight that is not a level
    // number (0 to 3) selects "0 - Status".
    void setWarningValues(const QString& errorValue, const QString& applicationValue,
                          const QString& weightValue);
    // The row being changed: OK deletes it before storing the edited values,
    // so that Cancel leaves it as it was.
    void setReplacedRow(const WeightRecord& row) { m_replaced = row; }

    // The error number a typed text stands for: the number at its start (0
    // when there is none), rounded half to even; nothing outside 0 to 32767.
    static std::optional<int> errorNumber(const QString& text);

    void Form_Load();
    void saveButton_Click();
    void cancelButton_Click();

private:
    void updateSaveButton();

    QComboBox* m_errorBox = nullptr;
    QComboBox* m_applicationBox = nullptr;
    QComboBox* m_weightBox = nullptr;
    QPushButton* m_saveButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    std::optional<WeightRecord> m_replaced;
};
