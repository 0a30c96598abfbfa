#pragma once

#include <QDialog>

class NotificationStrings;
class QLineEdit;
class QTableWidget;

// "Email Notification Properties": the 25 notification rule slots in the grid
// fpSpread1 (row n is slot n, columns are the 14 fields) and the three mail
// size thresholds. The grid is the only working copy of the rules while the
// window is open; the rule editor reads and writes its cells, and OK stores
// everything at once. Cancel stores nothing.
class frmEmailNotificationProperties : public QDialog
{
    Q_OBJECT

public:
    // store: where the rules are read and written (the zlk store when null).
    explicit frmEmailNotificationProperties(QWidget* parent = nullptr,
                                            NotificationStrings* store = nullptr);
    ~frmEmailNotificationProperties() override;

    QTableWidget* grid() const { return fpSpread1; }

private slots:
    void fpSpread1_DblClick(int row, int column);
    void mEmailNotificationPropertiesDetails_Click();
    void txtAttach_Change();
    void cmdOK_Click();
    void cmdCancel_Click();

private:
    void Form_Load();
    void showEditor();

    NotificationStrings* m_store;
    bool m_ownsStore;
    QTableWidget* fpSpread1 = nullptr;
    QLineEdit* txtAttach = nullptr;
    QLineEdit* txtZip = nullptr;
    QLineEdit* txtAbortAttach = nullptr;
};
