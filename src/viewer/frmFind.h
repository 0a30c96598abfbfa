#pragma once

#include <QDialog>

class AuditView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;

// The find window: looks for a text in the cells the viewer's grid shows,
// from the row after the active row round to the row before it, and makes the
// first row that holds it the grid's active row. Modeless, above the viewer.
// A long search shows its progress and stops on Cancel or Escape.
class frmFind : public QDialog
{
    Q_OBJECT

public:
    frmFind(QTableView* grid, AuditView& view, QWidget* parent = nullptr);

    // The viewer's Find command: opens the window over the viewer's grid
    // (or brings the open one to the front), modeless and topmost.
    static frmFind* showFor(QWidget* viewer);

    void Form_Load();
    void txt_Find_Change();
    void cmd_Find_Click();
    void cmd_Cancel_Click();

    bool isSearching() const { return m_searching; }

    // Rows searched before the progress shows.
    static constexpr int QuietMs = 300;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Shows a hit: the row becomes the grid's active row, the cell its active
    // cell, scrolled into view.
    void showHit(int row, int column);

    QTableView* m_grid;
    AuditView& m_view;
    QLabel* m_lbl_Find = nullptr;
    QLineEdit* m_txt_Find = nullptr;
    QCheckBox* m_chk_MatchCase = nullptr;
    QCheckBox* m_chk_WholeWord = nullptr;
    QPushButton* m_cmd_Find = nullptr;
    QPushButton* m_cmd_Cancel = nullptr;
    QProgressBar* m_prgSearch = nullptr;
    bool m_searching = false;
    bool m_stop = false;
};
