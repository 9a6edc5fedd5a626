#pragma once

#include <QWidget>
#include <functional>

#include "signal/DrawPrimitive.h"

// Paints a drawing, pixel for pixel, over the whole of its parent group box. The drawing is made
// at each paint from its source, so a refresh is update() and an uncovered window repaints what is
// current. Pixels that the drawing does not cover stay transparent, showing the box's frame.
class CPlotCanvas : public QWidget {
    Q_OBJECT

public:
    // Makes the drawing for a box of the given size in pixels.
    using DrawingSource = std::function<Drawing(int32_t width, int32_t height)>;

    CPlotCanvas(QWidget* box, DrawingSource source);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    DrawingSource m_source;
};
