#include "ui/TabCtrl.h"

#include <QFrame>
#include <QTabBar>

namespace {
// Space between the panel's edge and the area given to page controls.
constexpr int kPanelMargin = 3;
}  // namespace

CTabCtrl::CTabCtrl(QWidget* parent)
    : QWidget(parent), m_bar(new QTabBar(this)), m_panel(new QFrame(this)) {
    m_panel->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    m_bar->setDrawBase(false);
    m_bar->setExpanding(false);
    m_bar->raise();
    connect(m_bar, &QTabBar::currentChanged, this, &CTabCtrl::SelChange);
    LayOut();
}

int CTabCtrl::InsertItem(int index, const QString& text) {
    const bool blocked = m_bar->blockSignals(true);
    const int inserted = m_bar->insertTab(index, text);
    m_bar->blockSignals(blocked);
    LayOut();
    return inserted;
}

int CTabCtrl::GetCurSel() const {
    return m_bar->currentIndex();
}

void CTabCtrl::SetCurSel(int index) {
    m_bar->setCurrentIndex(index);
}

int CTabCtrl::GetItemCount() const {
    return m_bar->count();
}

// From the control's own size, not the panel's: a hidden control gets its resize event only when
// shown, and pages are built for the new size before that.
QRect CTabCtrl::DisplayArea() const {
    return PanelRect().adjusted(kPanelMargin, kPanelMargin, -kPanelMargin, -kPanelMargin);
}

QRect CTabCtrl::PanelRect() const {
    const int barHeight = m_bar->count() > 0 ? m_bar->sizeHint().height() : 0;
    // The panel starts under the tabs, overlapping their bottom edge by a pixel.
    const int panelTop = barHeight > 0 ? barHeight - 1 : 0;
    return QRect(0, panelTop, width(), height() - panelTop);
}

void CTabCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

void CTabCtrl::LayOut() {
    const int barHeight = m_bar->count() > 0 ? m_bar->sizeHint().height() : 0;
    m_bar->setGeometry(0, 0, width(), barHeight);
    m_panel->setGeometry(PanelRect());
}
