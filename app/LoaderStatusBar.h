#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "app/SignalIndicator.h"

// The main window's status bar: pane 0 carries the progress and error texts, every one of them
// also appended to the console log; pane 1 holds the blinking signal indicator; a last pane at
// the right end tells how long the whole tape in the list plays.
class CLoaderStatusBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int kHeight = 20;
    static constexpr int kPane0Right = 300;

    // `appendLog` receives every pane-0 text (the Signal window's AppendLog).
    explicit CLoaderStatusBar(std::function<void(const char*)> appendLog,
                              QWidget* parent = nullptr);

    // Shows the text in the pane; a text for pane 0 with type 0 goes to the console log first.
    // False when there is no such pane.
    bool SetText(const char* text, int pane, int type);
    QString Text(int pane) const;
    // The playing time of the whole tape, shown in the last pane.
    void SetTapeTime(const QString& text);
    const QString& TapeTime() const { return m_tapeTime; }

    // The rectangle of a pane in the bar's own coordinates.
    PaneRect PaneRectangle(int pane) const;
    // One indicator update: colours from the calibration result, then the stripes are redrawn.
    void UpdateIndicator(SignalReading reading);
    const std::vector<Stripe>& Stripes() const { return m_stripes; }
    const CSignalIndicator& Indicator() const { return m_indicator; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintPane(class QPainter& painter, int pane);
    // The last pane, right of the indicator: as wide as the longest tape time needs.
    PaneRect TapeTimeRectangle() const;

    std::function<void(const char*)> m_appendLog;
    QString m_texts[2];
    QString m_tapeTime;
    CSignalIndicator m_indicator;
    std::vector<Stripe> m_stripes;
};
