#pragma once

#include "GridCellText.h"

#include <QAbstractTableModel>
#include <QLocale>

class AuditView;

// The viewer grid's model: the nine grid columns over the rows of an AuditView.
// It never walks the rows itself: the view asks data() for the rows it paints,
// and the AuditView fetches those by page. It lists the rows whose keys the
// AuditView has read so far and grows as the rest arrive. Row removal and
// resets follow the AuditView's signals, so a deleted entry leaves the grid
// without a reset.
class AuditTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit AuditTableModel(AuditView& view, QObject* parent = nullptr);

    AuditView& auditView() const { return m_view; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // The field bound to a grid column (0-based), or "".
    static QString fieldOf(int column);
    // The grid column (0-based) bound to a field, or -1.
    static int columnOf(const QString& field);

    // A stored "yyyy-MM-dd HH:mm:ss" as the locale writes a date and a time with
    // seconds and a four-digit year; the stored text when it is not a date.
    static QString whenText(const QString& stored, const QLocale& locale = QLocale());

    // True between the AuditView's announcement of a removal and its end.
    bool isRemovingRows() const { return m_removing; }

    // The raw value of a cell (Level and Error as numbers, When as stored).
    static constexpr int RawValueRole = Qt::UserRole + 1;

private:
    QString displayText(int row, int column) const;

    AuditView& m_view;
    const GridCellText m_cellText;
    bool m_removing = false;
};
