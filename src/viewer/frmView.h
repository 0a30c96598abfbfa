#pragma once

#include "ViewQuery.h"
#include "ViewerActions.h"
#include "ViewerGrid.h"
#include "WidgetHooks.h"

#include <QMainWindow>
#include <QPointer>
#include <array>
#include <memory>
#include <optional>

class AuditTableModel;
class QLabel;

// The main viewer window: the grid of audit entries selected by the view query,
// the menus and the toolbar from which every other window opens. It remembers
// its placement and column widths; closing it ends the program.
class frmView : public QMainWindow, public ViewCommands
{
    Q_OBJECT

public:
    // The one viewer window, created and loaded (first view query run) on the
    // first call, not shown.
    static frmView* instance();
    // The window if it exists, without creating it.
    static frmView* existingInstance();

    ~frmView() override;

    QTableView* grid() const { return m_ssView; }
    AuditTableModel* model() const { return m_model; }
    // The action of a toolbar button by its key ("PRINT", "DELETE", ...).
    QAction* toolbarButton(const QString& key) const { return m_actions->toolbarButton(key); }
    QMenu* popupMenu() const { return m_actions->popup(); }

    // ViewCommands: what the view query builder does to the window.
    void beginViewQuery() override;
    void endViewQuery() override;
    void setDeleteEnabled(bool enabled) override;
    void setFindEnabled(bool enabled) override;

    // Handlers, named after their control and event.
    void Form_Load();
    void Form_Resize();
    void Form_Unload();

    void mFilePrint_Click();
    void mFileDelete_Click();
    void mFileFind_Click();
    void mFileExit_Click();
    void mViewStatus_Click() { levelToggle(0); }
    void mViewWarnings_Click() { levelToggle(1); }
    void mViewErrors_Click() { levelToggle(2); }
    void mViewFatal_Click() { levelToggle(3); }
    void mViewDetails_Click();
    void mViewRefresh_Click();
    void mViewFilter_Click();
    void mViewPreferences_Click();
    void mViewEmailNotificationPreferences_Click();
    void mHelpTopics_Click();
    void mHelpAbout_Click();
    void mPopupDetails_Click() { mViewDetails_Click(); }
    void mPopupDelete_Click();
    void Toolbar1_ButtonClick(const QString& key);

    // A click on the heading of grid column (0-based).
    void ssView_HeadClick(int column);
    void ssView_DblClick(const QModelIndex& index);
    void ssView_KeyDown(int key);
    // Shows the popup menu at a global position.
    void ssView_Popup(const QPoint& globalPos);
    void ssView_ColWidthChange(int column, int width);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    explicit frmView(QWidget* parent = nullptr);

    void connectActions();
    void createGrid();
    void applyLevels();
    void loadViewData();

    void levelToggle(int level);
    void deleteCurrentEntry();
    void syncGridToView(int row);
    void syncViewToGrid(const QModelIndex& current);
    void updateStatus();

    static QPointer<frmView> s_instance;

    std::unique_ptr<ViewerActions> m_actions;
    AuditTableModel* m_model = nullptr;
    ViewerGrid* m_ssView = nullptr;
    QLabel* m_statusLabel = nullptr;
    // The check marks of the four level items, before Qt toggles one on a click.
    std::array<bool, 4> m_levelOn{};

    std::optional<BusyCursor> m_queryBusy;
    int m_queryDepth = 0;
    bool m_loading = false;
    bool m_syncing = false;
    // The grid column that stays current when the row changes or the query reruns.
    int m_currentColumn = 0;
    // The field of the last heading click ("" at load).
    QString m_lastSorted;
};
