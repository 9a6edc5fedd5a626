#include "app/LoaderStatusBar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

namespace {
constexpr int kPaneCount = 2;
constexpr int kPaneGap = 2;
}  // namespace

CLoaderStatusBar::CLoaderStatusBar(std::function<void(const char*)> appendLog, QWidget* parent)
    : QWidget(parent), m_appendLog(std::move(appendLog)) {
    setFixedHeight(kHeight);
}

bool CLoaderStatusBar::SetText(const char* text, int pane, int type) {
    if (pane < 0 || pane >= kPaneCount || text == nullptr) {
        return false;
    }
    if (pane == 0 && type == 0 && m_appendLog) {
        m_appendLog(text);
    }
    m_texts[pane] = QString::fromLocal8Bit(text);
    update(QRect(0, 0, kPane0Right, height()));
    return true;
}

QString CLoaderStatusBar::Text(int pane) const {
    return pane >= 0 && pane < kPaneCount ? m_texts[pane] : QString();
}

PaneRect CLoaderStatusBar::PaneRectangle(int pane) const {
    if (pane == 0) {
        return PaneRect{0, kPaneGap, kPane0Right, height()};
    }
    return PaneRect{kPane0Right + kPaneGap, kPaneGap, TapeTimeRectangle().left - kPaneGap,
                    height()};
}

PaneRect CLoaderStatusBar::TapeTimeRectangle() const {
    const int textWidth = fontMetrics().horizontalAdvance("Tape 000:00.0") + 8;
    // On a narrow bar the indicator keeps its room and the time gives way.
    const int left = std::max(width() - textWidth, kPane0Right + 2 * kPaneGap + textWidth / 2);
    return PaneRect{left, kPaneGap, width(), height()};
}

void CLoaderStatusBar::SetTapeTime(const QString& text) {
    m_tapeTime = text;
    const PaneRect pane = TapeTimeRectangle();
    update(QRect(pane.left, 0, pane.right - pane.left, height()));
}

void CLoaderStatusBar::UpdateIndicator(SignalReading reading) {
    m_indicator.SetReading(reading);
    m_stripes = m_indicator.NextStripes(PaneRectangle(1));
    const PaneRect pane = PaneRectangle(1);
    update(QRect(pane.left, pane.top, pane.right - pane.left, pane.bottom - pane.top));
}

void CLoaderStatusBar::PaintPane(QPainter& painter, int pane) {
    const PaneRect r = PaneRectangle(pane);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
    frame.lineWidth = 1;
    frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
    if (pane == 0) {
        const QRect textArea = frame.rect.adjusted(4, 0, -4, 0);
        const QString shown =
            fontMetrics().elidedText(m_texts[0], Qt::ElideRight, textArea.width());
        painter.drawText(textArea, Qt::AlignVCenter | Qt::AlignLeft, shown);
    }
}

void CLoaderStatusBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (int pane = 0; pane < kPaneCount; ++pane) {
        PaintPane(painter, pane);
    }
    const PaneRect time = TapeTimeRectangle();
    const QRect timeArea(time.left, time.top, time.right - time.left, time.bottom - time.top);
    QStyleOptionFrame frame;
    frame.initFrom(this);
    frame.rect = timeArea;
    frame.lineWidth = 1;
    frame.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, this);
    painter.drawText(timeArea.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignRight, m_tapeTime);
    // The last stripes stay until the next buffer redraws them.
    for (const Stripe& stripe : m_stripes) {
        const QColor colour(stripe.colour.red, stripe.colour.green, stripe.colour.blue);
        painter.fillRect(QRect(stripe.x, stripe.y, stripe.width, stripe.height), colour);
    }
}
