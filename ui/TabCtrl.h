#pragma once

#include <QRect>
#include <QWidget>

class QFrame;
class QTabBar;

// A tab control: a row of tabs over one panel. Pages are not widgets of their own: whoever owns it
// places controls as its children inside DisplayArea() and swaps them when the selection changes.
class CTabCtrl : public QWidget {
    Q_OBJECT

public:
    explicit CTabCtrl(QWidget* parent = nullptr);

    // Inserts a tab; the first tab becomes the selected one. Returns its index, or -1.
    int InsertItem(int index, const QString& text);
    // The selected tab, or -1 when there is none.
    int GetCurSel() const;
    void SetCurSel(int index);
    int GetItemCount() const;
    // The panel's inside, below the tabs, in this widget's coordinates.
    QRect DisplayArea() const;

signals:
    // The user (or SetCurSel) selected another tab.
    void SelChange(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void LayOut();
    QRect PanelRect() const;

    QTabBar* m_bar = nullptr;
    QFrame* m_panel = nullptr;
};
