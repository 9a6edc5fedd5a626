#pragma once

#include <QImage>
#include <QWidget>

#include "model/BlockBody.h"

// Shows a SCREEN$ block as the Spectrum drew it, 256 x 192 pixels unscaled, with its top-left
// pixel at (8, 15) of its parent group box. The picture is kept, so it survives being covered.
class CScreenCanvas : public QWidget {
    Q_OBJECT

public:
    static constexpr int kPictureLeft = 8;
    static constexpr int kPictureTop = 15;

    explicit CScreenCanvas(QWidget* box);

    // Makes the picture from a screen block (6914 bytes, flag 0xFF) and repaints; any other block
    // clears it.
    void Draw(const BlockBody& screenBlock);
    bool HasPicture() const { return !m_picture.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
};
