#include "signal/PlotCanvas.h"

#include <QEvent>
#include <QImage>
#include <QPainter>
#include <cstring>

#include "signal/PixelImage.h"
#include "signal/SignalDrawing.h"

CPlotCanvas::CPlotCanvas(QWidget* box, DrawingSource source)
    : QWidget(box), m_source(std::move(source)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(box->rect());
    show();  // a child made after its window was shown stays hidden otherwise
}

// The drawing is rasterised straight into the image's rows, over the box's picture, in the
// screen's own pixels so that it stays sharp on a scaled screen. PixelImage's words are Qt's
// 0xAARRGGBB layout, and every pixel drawn is opaque.
void CPlotCanvas::paintEvent(QPaintEvent* /*event*/) {
    const qreal ratio = devicePixelRatioF();
    const QSize devicePixels = (QSizeF(size()) * ratio).toSize();
    if (m_boxPicture.size() != devicePixels) {
        TakeBoxPicture(devicePixels, ratio);
        m_image = QImage(devicePixels, m_boxPicture.format());
        m_image.setDevicePixelRatio(ratio);
    }
    std::memcpy(m_image.bits(), m_boxPicture.constBits(),
                static_cast<size_t>(m_boxPicture.sizeInBytes()));
    // The plot takes the screen's pixels; its margins, which keep it off the box's title and
    // frame, keep their size in the window's units.
    const int left = qRound(PlotGeometry::kLeft * ratio) - PlotGeometry::kLeft;
    const int top = qRound(PlotGeometry::kTop * ratio) - PlotGeometry::kTop;
    const int plotWidth = qRound((width() - PlotGeometry::kMarginsX) * ratio);
    const int plotHeight = qRound((height() - PlotGeometry::kMarginsY) * ratio);
    const int32_t stride = static_cast<int32_t>(m_image.bytesPerLine() / 4);
    uint32_t* corner = reinterpret_cast<uint32_t*>(m_image.bits()) + top * stride + left;
    PixelImage pixels(corner, m_image.width() - left, m_image.height() - top, stride);
    pixels.Paint(
        m_source(plotWidth + PlotGeometry::kMarginsX, plotHeight + PlotGeometry::kMarginsY));
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, m_image);
}

// The box as it paints itself, on the window's background, without its children.
void CPlotCanvas::TakeBoxPicture(QSize devicePixels, qreal ratio) {
    m_boxPicture = QImage(devicePixels, QImage::Format_ARGB32_Premultiplied);
    m_boxPicture.setDevicePixelRatio(ratio);
    m_boxPicture.fill(palette().color(QPalette::Window));
    parentWidget()->render(&m_boxPicture, QPoint(), QRegion(), QWidget::DrawWindowBackground);
}

void CPlotCanvas::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange ||
        event->type() == QEvent::FontChange) {
        m_boxPicture = QImage();
    }
    QWidget::changeEvent(event);
}
