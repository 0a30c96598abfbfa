#pragma once

#include <QProxyStyle>

// The grid's heading style: a right-aligned heading (AutoIndex, Error) shows
// its sort arrow at the left edge, so that its text ends where the numbers
// below it end. Other headings are drawn as the application style draws them.
class GridHeaderStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
};
