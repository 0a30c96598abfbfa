#include "GridHeaderStyle.h"

#include <QStyleOptionHeader>

void GridHeaderStyle::drawControl(ControlElement element, const QStyleOption* option,
                                  QPainter* painter, const QWidget* widget) const
{
    const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option);
    if (element != CE_Header || !header || !(header->textAlignment & Qt::AlignRight) ||
        header->sortIndicator == QStyleOptionHeader::None) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    proxy()->drawControl(CE_HeaderSection, header, painter, widget);
    const QRect arrow = QProxyStyle::subElementRect(SE_HeaderArrow, header, widget);
    const int margin = proxy()->pixelMetric(PM_HeaderMargin, header, widget);
    const QRect whole = header->rect.adjusted(margin, 0, -margin, 0);

    QStyleOptionHeader part = *header;
    part.rect = QRect(whole.left(), arrow.top(), arrow.width(), arrow.height());
    proxy()->drawPrimitive(PE_IndicatorHeaderArrow, &part, painter, widget);
    part.rect = whole.adjusted(arrow.width() + margin, 0, 0, 0);
    proxy()->drawControl(CE_HeaderLabel, &part, painter, widget);
}
