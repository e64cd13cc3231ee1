#include "artwork.h"
#include "canvas.h"

#include <QPainterPath>
#include <QtMath>

namespace artgen {

namespace {

// The field shows only the 29 px inside its border, so field glyphs centre on that square.
constexpr int fieldGlyphSide = 31;
constexpr int pageSide = 32;
constexpr qreal pageStroke = 2.6;

const QColor dropGrey{0x55, 0x55, 0x55};

void drawChevron(QPainter &painter, qreal tipX)
{
    painter.drawPolyline(QVector<QPointF>{{tipX - 6, 9}, {tipX, 16}, {tipX - 6, 23}});
}

// Draws a filled arrow head whose tip sits at `tip`, pointing along `direction` (a unit vector).
void drawArrowHead(QPainter &painter, const QPointF &tip, const QPointF &direction, qreal length,
                   qreal halfWidth)
{
    const QPointF normal(-direction.y(), direction.x());
    const QPointF base = tip - direction * length;
    painter.drawPolygon(QVector<QPointF>{tip, base + normal * halfWidth, base - normal * halfWidth});
}

} // namespace

QImage userGlyph()
{
    QImage image = canvas(fieldGlyphSide, fieldGlyphSide, palette::fieldBackground);
    QPainter painter(&image);
    smoothen(painter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::glyphGrey);
    painter.drawEllipse(QPointF(14, 10), 4.2, 4.2);
    painter.drawPie(QRectF(7, 15.5, 14, 13), 0, 180 * 16);
    return image;
}

QImage lockGlyph()
{
    QImage image = canvas(fieldGlyphSide, fieldGlyphSide, palette::fieldBackground);
    QPainter painter(&image);
    smoothen(painter);

    QPainterPath shackle;
    shackle.moveTo(10, 13);
    shackle.lineTo(10, 10.5);
    shackle.arcTo(QRectF(10, 6.5, 8, 8), 180, -180);
    shackle.lineTo(18, 13);
    painter.setPen(roundPen(palette::glyphGrey, 1.8));
    painter.drawPath(shackle);

    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::glyphGrey);
    painter.drawRoundedRect(QRectF(7.5, 12.5, 13, 10), 1.5, 1.5);
    painter.setBrush(palette::fieldBackground);
    painter.drawEllipse(QPointF(14, 16.4), 1.5, 1.5);
    painter.drawRect(QRectF(13.4, 16.5, 1.2, 3.3));
    return image;
}

QImage dropArrow()
{
    QImage image = canvas(15, 6, Qt::transparent);
    QPainter painter(&image);
    smoothen(painter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(dropGrey);
    painter.drawPolygon(QVector<QPointF>{{3.5, 0.5}, {11.5, 0.5}, {7.5, 5}});
    return image;
}

// Two opposed arrows: the menu switches between payments and refunds.
QImage tradeTypeIcon()
{
    QImage image = canvas(23, 23, Qt::transparent);
    QPainter painter(&image);
    smoothen(painter);
    painter.setPen(roundPen(palette::toolbarBlue, 2));
    painter.drawLine(QPointF(4, 8), QPointF(16, 8));
    painter.drawLine(QPointF(19, 15), QPointF(7, 15));
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::toolbarBlue);
    drawArrowHead(painter, QPointF(19.5, 8), QPointF(1, 0), 5, 3.8);
    drawArrowHead(painter, QPointF(3.5, 15), QPointF(-1, 0), 5, 3.8);
    return image;
}

// A clockwise circular arrow: the query reloads the list.
QImage queryIcon()
{
    QImage image = canvas(24, 24, Qt::transparent);
    QPainter painter(&image);
    smoothen(painter);
    const QPointF centre(12, 12.5);
    const qreal radius = 7.2;
    const qreal endDegrees = 50;
    painter.setPen(QPen(palette::toolbarBlue, 2.2, Qt::SolidLine, Qt::FlatCap));
    painter.drawArc(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
                    qRound(endDegrees * 16), 290 * 16);

    const qreal angle = qDegreesToRadians(endDegrees);
    const QPointF end(centre.x() + radius * qCos(angle), centre.y() - radius * qSin(angle));
    const QPointF clockwise(qSin(angle), qCos(angle));
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::toolbarBlue);
    drawArrowHead(painter, end + clockwise * 4, clockwise, 5.5, 3.8);
    return image;
}

QImage pageArrow(PageStep step)
{
    QImage image = canvas(pageSide, pageSide, Qt::transparent);
    QPainter painter(&image);
    smoothen(painter);
    // Backward steps are the forward ones mirrored.
    if (step == PageStep::First || step == PageStep::Previous) {
        painter.translate(pageSide, 0);
        painter.scale(-1, 1);
    }
    painter.setPen(roundPen(palette::toolbarBlue, pageStroke));
    if (step == PageStep::First || step == PageStep::Last) {
        drawChevron(painter, 16);
        drawChevron(painter, 22);
    } else {
        drawChevron(painter, 19);
    }
    return image;
}

QImage infoIcon()
{
    QImage image = canvas(32, 32, Qt::transparent);
    QPainter painter(&image);
    smoothen(painter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::toolbarBlue);
    painter.drawEllipse(QPointF(16, 16), 13, 13);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(16, 9.8), 1.9, 1.9);
    painter.drawRoundedRect(QRectF(14.4, 13.3, 3.2, 10.5), 1.2, 1.2);
    return image;
}

QImage currencyIcon()
{
    QImage image = canvas(28, 28, Qt::transparent);
    QPainter painter(&image);
    smoothen(painter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::payGreen);
    painter.drawEllipse(QPointF(14, 14), 13, 13);
    drawYen(painter, QRectF(9.5, 7.5, 9, 13.5), Qt::white, 2);
    return image;
}

} // namespace artgen
