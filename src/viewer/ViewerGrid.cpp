#include "ViewerGrid.h"

#include "AppState.h"
#include "AuditTableModel.h"
#include "GridHeaderStyle.h"
#include "Settings.h"
#include "Twips.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <array>

ViewerGrid::ViewerGrid(AuditTableModel* model, QWidget* parent) : QTableView(parent), m_model(model)
{
    setObjectName(QStringLiteral("ssView"));
    setModel(model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setShowGrid(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setSortingEnabled(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setIconSize(QSize(16, 16));
    setTabKeyNavigation(false);

    // Rows of one fixed height: the grid never measures rows, so a million of
    // them cost nothing until painted.
    QHeaderView* rows = verticalHeader();
    rows->setVisible(false);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 8);

    QHeaderView* headings = horizontalHeader();
    headings->setSectionsClickable(true);
    headings->setHighlightSections(false);
    headings->setSortIndicatorShown(true);
    headings->setStretchLastSection(true);
    headings->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* headingStyle = new GridHeaderStyle;
    headingStyle->setParent(headings);
    headings->setStyle(headingStyle);
    headings->setSectionResizeMode(QHeaderView::Interactive);
    setDesignWidths();

    installEventFilter(this);
    viewport()->installEventFilter(this);
}

void ViewerGrid::setDesignWidths()
{
    // From the font, so that dates and numbers fit.
    const QFontMetrics fm = fontMetrics();
    const int pad = 24;
    const QString sampleWhen = AuditTableModel::whenText(QStringLiteral("2003-12-28 22:59:58"));
    const int n = fm.horizontalAdvance(QLatin1Char('n'));
    const std::array<int, 9> widths = {
        fm.horizontalAdvance(QStringLiteral("AutoIndex")) + pad,
        fm.horizontalAdvance(QStringLiteral("Warning")) + 16 + pad + 8,
        fm.horizontalAdvance(QStringLiteral("999999")) + pad,
        n * 38,
        fm.horizontalAdvance(QStringLiteral("Notification Service")) + pad,
        fm.horizontalAdvance(sampleWhen) + pad,
        fm.horizontalAdvance(QStringLiteral("operator01")) + pad,
        n * 28,
        n * 24,
    };
    for (int column = 0; column < static_cast<int>(widths.size()); ++column)
        horizontalHeader()->resizeSection(column, widths[static_cast<size_t>(column)]);
}

void ViewerGrid::applyStoredWidths()
{
    const Twips twips(this);
    for (int n = 1; n <= m_model->columnCount(); ++n) {
        const auto stored = Twips::read(GetSettingValue(SettingKey::ColWidth(n)));
        if (!stored || *stored <= 0)
            continue;
        const int width = twips.toPixelsX(*stored);
        if (width > 0)
            horizontalHeader()->resizeSection(n - 1, qMin(width, 4000));
    }
}

void ViewerGrid::showSort()
{
    QHeaderView* headings = horizontalHeader();
    const int column = AuditTableModel::columnOf(ViewSortBy1.trimmed());
    if (column < 0) {
        headings->setSortIndicator(-1, Qt::AscendingOrder);
        return;
    }
    // "DESC" applies to the final key only: it reverses the column's order only
    // when that column is AutoIndex itself.
    const bool descending =
        ViewSortBy1 == QLatin1String("AutoIndex") && ViewSortDirection == QLatin1String("DESC");
    headings->setSortIndicator(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void ViewerGrid::selectColumnBlock(int column)
{
    const QModelIndex top = m_model->index(0, column);
    const QModelIndex bottom = m_model->index(m_model->rowCount() - 1, column);
    if (top.isValid() && bottom.isValid())
        selectionModel()->select(QItemSelection(top, bottom), QItemSelectionModel::ClearAndSelect);
}

bool ViewerGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain =
            key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier;
        if (plain && (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Return ||
                      key->key() == Qt::Key_Enter)) {
            emit commandKeyPressed(key->key());
            return true;
        }
    }
    if ((watched == this || watched == viewport()) && event->type() == QEvent::ContextMenu) {
        const auto* menu = static_cast<QContextMenuEvent*>(event);
        QPoint at = menu->globalPos();
        if (menu->reason() != QContextMenuEvent::Mouse) {
            // From the keyboard: at the current cell, or the grid's corner.
            const QRect cell = visualRect(currentIndex());
            at = viewport()->mapToGlobal(cell.isValid() ? cell.center() : QPoint(8, 8));
        }
        emit popupRequested(at);
        return true;
    }
    return QTableView::eventFilter(watched, event);
}
