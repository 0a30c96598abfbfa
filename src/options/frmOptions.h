#pragma once

#include "WeightTableRoutines.h"

#include <QDialog>
#include <optional>

class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class QTreeWidget;

// The options window, "Preferences": the age of the purge at start-up (saved
// by OK) and the weight table (changed at once through the warning level
// dialog and Delete).
class frmOptions : public QDialog
{
    Q_OBJECT

public:
    explicit frmOptions(QWidget* parent = nullptr);

    // The position (1 or 2) of the page shown.
    int currentTab() const;

    void Form_Load();
    void cmdOK_Click();
    void cmdCancel_Click();
    void AddWeightEntry();
    void menuAdd_Click();
    void EditSelectedWeight();
    void DeleteSelectedWeight();
    void FillWeightList();
    bool SaveStartupOptions();

private:
    QWidget* makeStartupPage();
    QWidget* makeWarningLevelPage();
    // The row of the selected list item, if an item is selected.
    std::optional<WeightRecord> selectedRow() const;
    // Shows the warning level dialog, at this window's place when asked.
    void runWarningLevel(bool placed, const std::optional<WeightRecord>& row);

    QTabWidget* m_tabStrip = nullptr;
    QLineEdit* m_txtDays = nullptr;
    QTreeWidget* m_listView = nullptr;
    QMenu* m_rightClickMenu = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    // The column the list is sorted by once a heading was clicked.
    int m_sortColumn = -1;
};
