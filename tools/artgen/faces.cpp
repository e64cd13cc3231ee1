#include "artwork.h"
#include "canvas.h"

namespace artgen {

namespace {

constexpr int buttonWidth = 128;
constexpr int buttonHeight = 46;
constexpr int captionPixels = 18;
constexpr qreal captionTracking = 6;
constexpr int checkSide = 14;

const QColor quietCaption{0x33, 0x34, 0x36};

QColor shadeFor(const QColor &base, ButtonState state)
{
    switch (state) {
    case ButtonState::Hover:
        return mix(base, Qt::white, 0.16);
    case ButtonState::Pressed:
        return mix(base, Qt::black, 0.18);
    case ButtonState::Normal:
        break;
    }
    return base;
}

void drawCaption(QPainter &painter, const QString &caption, const QColor &colour, ButtonState state)
{
    QFont font = captionFont(captionPixels);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, captionTracking);
    painter.setFont(font);
    painter.setPen(colour);
    // Tracking also follows the last glyph, so shift right by half of it to stay centred; a pressed
    // face sinks by a pixel.
    const qreal sink = state == ButtonState::Pressed ? 1 : 0;
    const QRectF box(captionTracking / 2, sink, buttonWidth, buttonHeight);
    painter.drawText(box, Qt::AlignCenter, caption);
}

QImage buttonFace(const QString &caption, const QColor &face, const QColor &border, const QColor &text,
                  ButtonState state)
{
    QImage image = canvas(buttonWidth, buttonHeight, palette::dialogBackground);
    QPainter painter(&image);
    smoothen(painter);
    painter.setPen(QPen(border, 1));
    painter.setBrush(face);
    painter.drawRoundedRect(QRectF(0.5, 0.5, buttonWidth - 1, buttonHeight - 1), 3, 3);
    drawCaption(painter, caption, text, state);
    return image;
}

void drawTick(QPainter &painter)
{
    painter.setPen(roundPen(Qt::white, 1.8));
    painter.drawPolyline(QVector<QPointF>{{3.3, 7.2}, {5.9, 9.8}, {10.8, 4.4}});
}

} // namespace

QImage primaryButton(const QString &caption, ButtonState state)
{
    const QColor face = shadeFor(palette::accent, state);
    return buttonFace(caption, face, face, Qt::white, state);
}

QImage quietButton(const QString &caption, ButtonState state)
{
    return buttonFace(caption, shadeFor(palette::quietFace, state), shadeFor(palette::fieldBorder, state),
                      quietCaption, state);
}

QImage checkFace(CheckState state)
{
    QImage image = canvas(checkSide, checkSide, palette::fieldBackground);
    QPainter painter(&image);
    smoothen(painter);
    const QRectF box(0.5, 0.5, checkSide - 1, checkSide - 1);
    switch (state) {
    case CheckState::Unchecked:
        painter.setPen(QPen(palette::fieldBorder, 1));
        painter.drawRect(box);
        break;
    case CheckState::Hover:
        painter.setPen(QPen(palette::accent, 1));
        painter.drawRect(box);
        break;
    case CheckState::Checked:
        painter.setPen(QPen(palette::accent, 1));
        painter.setBrush(palette::accent);
        painter.drawRect(box);
        drawTick(painter);
        break;
    }
    return image;
}

} // namespace artgen
