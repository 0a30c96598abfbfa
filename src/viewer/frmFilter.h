#pragma once

#include "FilterQuery.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QHeaderView;
class QLineEdit;
class QPushButton;

// The filter window: narrows the viewer to the entries of a level whose
// texts match LIKE patterns on five columns. While it is open the viewer's
// record source is the filter's statement (in the database's order); closing
// it brings the viewer's own query back. Modeless, above the viewer.
class frmFilter : public QDialog
{
    Q_OBJECT

public:
    // headings: the viewer grid's headings, whose sort arrow is hidden while
    // a filter (which has no order of its own) is applied.
    explicit frmFilter(QHeaderView* headings, QWidget* parent = nullptr);
    ~frmFilter() override;

    // The viewer's filter command: opens the window over the viewer (or
    // brings the open one to the front), modeless and topmost, and sets
    // FilterWindowOpen.
    static frmFilter* showFor(QWidget* viewer);

    // The criteria as the boxes hold them.
    FilterCriteria criteria() const;

    void Form_Load();
    void findCommand_Click();
    void cancelCommand_Click();
    void Form_Unload();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QHeaderView* m_headings;
    QGroupBox* m_searchFrame = nullptr;
    QComboBox* m_errorLevelBox = nullptr;
    QLineEdit* m_errorNumberBox = nullptr;
    QLineEdit* m_descriptionBox = nullptr;
    QLineEdit* m_applicationBox = nullptr;
    QLineEdit* m_userBox = nullptr;
    QLineEdit* m_detailsBox = nullptr;
    QPushButton* m_findCommand = nullptr;
    QPushButton* m_cancelCommand = nullptr;
    bool m_unloaded = false;
};
