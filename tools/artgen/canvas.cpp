#include "canvas.h"

namespace artgen {

namespace {
qreal currentScale = 1;
}

void setScale(qreal scale)
{
    currentScale = scale;
}

QImage canvas(int width, int height, const QColor &fill)
{
    QImage image(qRound(width * currentScale), qRound(height * currentScale),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(currentScale);
    image.fill(fill);
    return image;
}

void smoothen(QPainter &painter)
{
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform);
}

QFont captionFont(int pixelSize)
{
    QFont font(captionFamily);
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QColor mix(const QColor &from, const QColor &to, qreal amount)
{
    const auto blend = [amount](int a, int b) { return qRound(a + (b - a) * amount); };
    return QColor(blend(from.red(), to.red()), blend(from.green(), to.green()), blend(from.blue(), to.blue()),
                  blend(from.alpha(), to.alpha()));
}

QPen roundPen(const QColor &colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Strokes the yen sign instead of typesetting it, so it stays crisp and centred at any size.
void drawYen(QPainter &painter, const QRectF &box, const QColor &colour, qreal strokeWidth)
{
    const qreal left = box.left();
    const qreal right = box.right();
    const qreal middle = box.center().x();
    const qreal fork = box.top() + box.height() * 0.45;
    const qreal upperBar = box.top() + box.height() * 0.60;
    const qreal lowerBar = box.top() + box.height() * 0.80;
    const qreal barInset = box.width() * 0.12;

    painter.save();
    painter.setPen(roundPen(colour, strokeWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(QVector<QPointF>{{left, box.top()}, {middle, fork}, {right, box.top()}});
    painter.drawLine(QPointF(middle, fork), QPointF(middle, box.bottom()));
    painter.drawLine(QPointF(left + barInset, upperBar), QPointF(right - barInset, upperBar));
    painter.drawLine(QPointF(left + barInset, lowerBar), QPointF(right - barInset, lowerBar));
    painter.restore();
}

} // namespace artgen
