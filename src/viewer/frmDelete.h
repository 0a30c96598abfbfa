#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

// The purge dialog: deletes the entries of the chosen levels that are older
// than a number of days, then runs the viewer's query again.
class frmDelete : public QDialog
{
    Q_OBJECT

public:
    explicit frmDelete(QWidget* parent = nullptr);

    // The level bound of a cboType entry (deletes Level <= bound).
    static int levelBoundOf(int listIndex);

    void Form_Load();
    void cmdOK_Click();
    void cmdCancel_Click();

private:
    bool validDays();
    // Runs the purge with a busy progress window that keeps the program
    // painting while the purge waits for the view; false when it failed.
    bool purge(const QString& days, int level);

    QComboBox* m_cboType = nullptr;
    QLineEdit* m_txtDays = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};
