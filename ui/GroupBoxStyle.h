#pragma once

#include <QProxyStyle>

// The desktop's style, with group boxes drawn the way the dialog templates were laid out for:
// the frame's top edge runs through the middle of the title, which sits one character in from
// the left edge. The desktop styles put the frame below the title, on top of the first row of
// controls that the templates place right under it.
class CGroupBoxStyle : public QProxyStyle {
    Q_OBJECT

public:
    // The one instance that the dialogs share; it lives as long as the application.
    static CGroupBoxStyle* Instance();

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                         SubControl subControl, const QWidget* widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;

private:
    CGroupBoxStyle();
};
