#include "signal/PlotCanvas.h"

#include <QImage>
#include <QPainter>

#include "signal/PixelImage.h"

CPlotCanvas::CPlotCanvas(QWidget* box, DrawingSource source)
    : QWidget(box), m_source(std::move(source)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(box->rect());
    show();  // a child made after its window was shown stays hidden otherwise
}

void CPlotCanvas::paintEvent(QPaintEvent* /*event*/) {
    PixelImage pixels(width(), height());
    pixels.Paint(m_source(width(), height()));
    // PixelImage holds 0xAARRGGBB words, which is Qt's ARGB32 layout.
    const QImage image(reinterpret_cast<const uchar*>(pixels.Pixels().data()), pixels.Width(),
                       pixels.Height(), QImage::Format_ARGB32);
    QPainter painter(this);
    painter.drawImage(0, 0, image);
}
