#include "signal/ScreenCanvas.h"

#include <QPainter>

#include "model/BlockFacts.h"
#include "tape/ScreenPicture.h"

CScreenCanvas::CScreenCanvas(QWidget* box) : QWidget(box) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(box->rect());
    show();  // a child made after its window was shown stays hidden otherwise
}

void CScreenCanvas::Draw(const BlockBody& screenBlock) {
    if (!IsScreen(screenBlock)) {
        m_picture = QImage();
        update();
        return;
    }
    const std::vector<Rgb> picture = ScreenPicture(DataBytes(screenBlock)->data());
    m_picture = QImage(kScreenWidth, kScreenHeight, QImage::Format_RGB32);
    for (int y = 0; y < kScreenHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(m_picture.scanLine(y));
        for (int x = 0; x < kScreenWidth; ++x) {
            const Rgb& pixel = picture[static_cast<size_t>(y * kScreenWidth + x)];
            line[x] = qRgb(pixel.red, pixel.green, pixel.blue);
        }
    }
    update();
}

void CScreenCanvas::paintEvent(QPaintEvent* /*event*/) {
    if (m_picture.isNull()) {
        return;
    }
    QPainter painter(this);
    painter.drawImage(kPictureLeft, kPictureTop, m_picture);
}
