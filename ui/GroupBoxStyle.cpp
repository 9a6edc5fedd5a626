#include "ui/GroupBoxStyle.h"

#include <QApplication>
#include <QGroupBox>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>

namespace {
// Blank space on each side of the title, where the frame line is left out.
constexpr int kTitlePadding = 2;

QRect TitleRect(const QRect& box, const QFontMetrics& metrics, const QString& title) {
    const int indent = metrics.averageCharWidth();
    return QRect(box.left() + indent, box.top(), metrics.horizontalAdvance(title),
                 metrics.height());
}
}  // namespace

CGroupBoxStyle::CGroupBoxStyle()
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {
    setParent(qApp);
}

CGroupBoxStyle* CGroupBoxStyle::Instance() {
    static CGroupBoxStyle* style = new CGroupBoxStyle;
    return style;
}

QRect CGroupBoxStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option,
                                     SubControl subControl, const QWidget* widget) const {
    if (control != CC_GroupBox) {
        return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
    const QFontMetrics& metrics = option->fontMetrics;
    const QRect& box = option->rect;
    const auto* groupBox = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
    const QString title = groupBox != nullptr ? groupBox->text : QString();
    switch (subControl) {
        case SC_GroupBoxLabel:
            return TitleRect(box, metrics, title);
        case SC_GroupBoxFrame:
            return box.adjusted(0, title.isEmpty() ? 0 : metrics.height() / 2, 0, 0);
        case SC_GroupBoxContents:
            return box.adjusted(1, metrics.height(), -1, -1);
        default:
            return QProxyStyle::subControlRect(control, option, subControl, widget);
    }
}

// An etched frame, a dark line with a light one inside it, left out behind the title.
void CGroupBoxStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                   QPainter* painter, const QWidget* widget) const {
    if (element != PE_FrameGroupBox) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    QRegion visible(option->rect);
    if (const auto* box = qobject_cast<const QGroupBox*>(widget); box && !box->title().isEmpty()) {
        visible -= TitleRect(box->rect(), option->fontMetrics, box->title())
                       .adjusted(-kTitlePadding, 0, kTitlePadding, 0);
    }
    painter->save();
    painter->setClipRegion(visible);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(option->palette.color(QPalette::Mid));
    painter->drawRect(option->rect.adjusted(0, 0, -2, -2));
    painter->setPen(option->palette.color(QPalette::Light));
    painter->drawRect(option->rect.adjusted(1, 1, -1, -1));
    painter->restore();
}
