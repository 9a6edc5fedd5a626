#pragma once

#include <QImage>
#include <QWidget>
#include <functional>

#include "signal/DrawPrimitive.h"

// Paints a drawing, pixel for pixel, over the whole of its parent group box. The drawing is made
// at each paint from its source, so a refresh is update() and an uncovered window repaints what is
// current. Pixels that the drawing does not cover show the box (frame, title and background), which
// the canvas keeps a picture of: it paints every pixel itself, so a refresh repaints neither the
// box nor the window behind it.
class CPlotCanvas : public QWidget {
    Q_OBJECT

public:
    // Makes the drawing for a box of the given size in pixels.
    using DrawingSource = std::function<Drawing(int32_t width, int32_t height)>;

    CPlotCanvas(QWidget* box, DrawingSource source);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    DrawingSource m_source;
    void TakeBoxPicture(QSize devicePixels, qreal ratio);

    QImage m_boxPicture;  // the box without the canvas; retaken when the size or look changes
    QImage m_image;       // the box picture with the drawing over it, reused from paint to paint
};
