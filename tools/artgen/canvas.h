#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>

namespace artgen {

// The client's flat palette, shared by every image so the set looks of a piece.
namespace palette {
inline const QColor accent{0x00, 0x78, 0xD7};
inline const QColor toolbarBlue{0x18, 0x83, 0xD7};
inline const QColor titleBar{0x33, 0x34, 0x36};
inline const QColor dialogBackground{0xF8, 0xF8, 0xF8};
inline const QColor fieldBackground{0xFF, 0xFF, 0xFF};
inline const QColor fieldBorder{0xAD, 0xAD, 0xAD};
inline const QColor quietFace{0xE1, 0xE1, 0xE1};
inline const QColor glyphGrey{0x9B, 0x9B, 0x9B};
inline const QColor payGreen{0x5C, 0xB8, 0x5C};
inline const QColor tileBackground{0xF3, 0xF4, 0xF6};
} // namespace palette

// The only family that is sure to carry the Chinese captions on the build machine.
inline const char *const captionFamily = "WenQuanYi Micro Hei";

// An image of this size in the artwork's own pixels, with as many device pixels per pixel as the
// scale in force: the painting code draws the same at every scale.
QImage canvas(int width, int height, const QColor &fill);
void setScale(qreal scale);
void smoothen(QPainter &painter);
QFont captionFont(int pixelSize);
QColor mix(const QColor &from, const QColor &to, qreal amount);
QPen roundPen(const QColor &colour, qreal width);
void drawYen(QPainter &painter, const QRectF &box, const QColor &colour, qreal strokeWidth);

} // namespace artgen
