#pragma once

#include <QProxyStyle>

// The platform style without dotted keyboard-focus rectangles.
class MyProxyStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    ~MyProxyStyle() override;

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
};
