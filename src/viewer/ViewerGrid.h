#pragma once

#include <QTableView>

class AuditTableModel;

// The viewer's grid of audit entries: whole rows selected one at a time, no
// editing, rows of one fixed height, column widths designed for the font and
// adjustable by dragging, the sort shown on the headings. Delete, Return and
// Enter and the popup menu are left to the window, through signals.
class ViewerGrid : public QTableView
{
    Q_OBJECT

public:
    ViewerGrid(AuditTableModel* model, QWidget* parent);

    // Puts the column widths stored in the settings (twips) over the design widths.
    void applyStoredWidths();
    // Shows the sort arrow on the heading of the view's first sort key, if it has one.
    void showSort();
    // Selects every cell of a column as one block (the filter window works on it).
    void selectColumnBlock(int column);

signals:
    // Delete, Return or Enter pressed without modifiers (keypad ones count).
    void commandKeyPressed(int key);
    // The popup menu asked for, by the mouse or the keyboard, at a global position.
    void popupRequested(const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setDesignWidths();

    AuditTableModel* m_model;
};
