#include "AuditTableModel.h"

#include "AuditColumns.h"
#include "AuditLevels.h"
#include "AuditView.h"
#include "GridCellText.h"
#include "LevelIcons.h"

namespace {
enum Column
{
    AutoIndexColumn = GridCellText::AutoIndexColumn,
    LevelColumn = GridCellText::LevelColumn,
    ErrorColumn = GridCellText::ErrorColumn
};
} // namespace

AuditTableModel::AuditTableModel(AuditView& view, QObject* parent)
    : QAbstractTableModel(parent), m_view(view)
{
    connect(&m_view, &AuditView::aboutToReset, this, [this] { beginResetModel(); });
    connect(&m_view, &AuditView::reset, this, [this] { endResetModel(); });
    connect(&m_view, &AuditView::rowAboutToBeRemoved, this, [this](int row) {
        m_removing = true;
        beginRemoveRows(QModelIndex(), row, row);
    });
    connect(&m_view, &AuditView::rowRemoved, this, [this](int) {
        endRemoveRows();
        m_removing = false;
    });
    // Keys read after the first slice arrive as appended rows.
    connect(&m_view, &AuditView::rowsAboutToBeAppended, this,
            [this](int first, int last) { beginInsertRows(QModelIndex(), first, last); });
    connect(&m_view, &AuditView::rowsAppended, this, [this](int, int) { endInsertRows(); });
}

int AuditTableModel::rowCount(const QModelIndex& parent) const
{
    // Only the rows whose keys are read: asking for all would wait for them.
    if (parent.isValid() || !m_view.isOpen())
        return 0;
    return m_view.loadedCount();
}

int AuditTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(AuditColumns::Grid().size());
}

QString AuditTableModel::fieldOf(int column)
{
    const auto& grid = AuditColumns::Grid();
    return column >= 0 && column < grid.size() ? grid.at(column).field : QString();
}

int AuditTableModel::columnOf(const QString& field)
{
    const auto& grid = AuditColumns::Grid();
    for (int column = 0; column < grid.size(); ++column)
        if (grid.at(column).field == field)
            return column;
    return -1;
}

QString AuditTableModel::whenText(const QString& stored, const QLocale& locale)
{
    return GridCellText(locale).whenText(stored);
}

QString AuditTableModel::displayText(int row, int column) const
{
    // An entry deleted by another program since the last requery shows empty.
    return m_cellText.text(m_view.entryAt(row), column);
}

QVariant AuditTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return QVariant();
    const int row = index.row();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return displayText(row, column);
    case Qt::DecorationRole:
        if (column == LevelColumn) {
            const AuditEntry entry = m_view.entryAt(row);
            if (entry.AutoIndex != 0)
                return LevelIcons::forLevel(entry.Level);
        }
        return QVariant();
    case Qt::ToolTipRole: {
        const AuditEntry entry = m_view.entryAt(row);
        if (entry.AutoIndex == 0)
            return QVariant();
        if (column == LevelColumn) {
            const auto level = AuditLevelOf(entry.Level);
            return level ? level->numberedEntry : QString::number(entry.Level);
        }
        const QString text = entry.value(fieldOf(column)).toString();
        return text.size() > 40 || text.contains(QLatin1Char('\n')) ? QVariant(text) : QVariant();
    }
    case Qt::TextAlignmentRole:
        if (column == AutoIndexColumn || column == ErrorColumn)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case RawValueRole:
        return m_view.entryAt(row).value(fieldOf(column));
    default:
        return QVariant();
    }
}

QVariant AuditTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::TextAlignmentRole && orientation == Qt::Horizontal)
        return QVariant((section == AutoIndexColumn || section == ErrorColumn ? Qt::AlignRight
                                                                              : Qt::AlignLeft) |
                        Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal) {
        const auto& grid = AuditColumns::Grid();
        return section >= 0 && section < grid.size() ? QVariant(grid.at(section).heading)
                                                     : QVariant();
    }
    return section + 1;
}

Qt::ItemFlags AuditTableModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}
