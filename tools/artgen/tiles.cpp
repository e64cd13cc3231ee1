#include "artwork.h"
#include "canvas.h"

#include <QFontMetricsF>

namespace artgen {

namespace {

constexpr int tileWidth = 88;
constexpr int tileHeight = 72;
constexpr int tileNamePixels = 14;
constexpr int iconSide = 128;

const QColor weChatGreen{0x1A, 0xAD, 0x19};
const QColor alipayBlue{0x00, 0x9F, 0xE8};
const QColor cloudCaption{0xC8, 0xC8, 0xC8};

struct ChannelLook
{
    QColor colour;
    QString name;
};

ChannelLook lookOf(Channel channel)
{
    if (channel == Channel::WeChatPay)
        return {weChatGreen, QStringLiteral("微信支付")};
    return {alipayBlue, QStringLiteral("支付宝")};
}

// A speech bubble carrying the yen sign.
void drawBubbleGlyph(QPainter &painter, const QColor &ink, const QColor &paper)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawEllipse(QRectF(30, 9, 28, 23));
    painter.drawPolygon(QVector<QPointF>{{34, 26}, {32, 36}, {42, 30}});
    drawYen(painter, QRectF(40.5, 14, 7, 12.5), paper, 1.8);
}

// A wallet with its clasp on the right.
void drawWalletGlyph(QPainter &painter, const QColor &ink, const QColor &paper)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawRoundedRect(QRectF(31, 12, 26, 21), 3.5, 3.5);
    painter.setBrush(paper);
    painter.drawRoundedRect(QRectF(44, 18.5, 14, 8), 2.5, 2.5);
    painter.setBrush(ink);
    painter.drawEllipse(QPointF(48.5, 22.5), 1.7, 1.7);
}

void drawTileName(QPainter &painter, const QString &name, const QColor &colour)
{
    painter.setFont(captionFont(tileNamePixels));
    painter.setPen(colour);
    painter.drawText(QRectF(0, 41, tileWidth, 20), Qt::AlignCenter, name);
}

// Overlapping puffs on a rounded base; all share one opaque colour, so no path union is needed.
void drawCloud(QPainter &painter, const QColor &colour)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QPointF(36, 27), 8.5, 8.5);
    painter.drawEllipse(QPointF(47, 22), 11, 11);
    painter.drawEllipse(QPointF(56, 29), 7, 7);
    painter.drawRoundedRect(QRectF(26, 26, 38, 10), 5, 5);
}

} // namespace

// The selected tile is filled with the channel's colour; the other one only wears it on its glyph and name.
QImage channelTile(Channel channel, bool selected)
{
    const ChannelLook look = lookOf(channel);
    const QColor background = selected ? look.colour : palette::tileBackground;
    const QColor ink = selected ? QColor(Qt::white) : look.colour;

    QImage image = canvas(tileWidth, tileHeight, background);
    QPainter painter(&image);
    smoothen(painter);
    if (channel == Channel::WeChatPay)
        drawBubbleGlyph(painter, ink, background);
    else
        drawWalletGlyph(painter, ink, background);
    drawTileName(painter, look.name, ink);
    return image;
}

// Heads the left column right under the dark title bar, so it shares the bar's colour.
QImage cloudTile()
{
    QImage image = canvas(tileWidth, tileHeight, palette::titleBar);
    QPainter painter(&image);
    smoothen(painter);
    drawCloud(painter, Qt::white);
    painter.setFont(captionFont(12));
    painter.setPen(cloudCaption);
    painter.drawText(QRectF(0, 42, tileWidth, 18), Qt::AlignCenter, QStringLiteral("云支付"));
    return image;
}

QImage programIcon()
{
    QImage image = canvas(iconSide, iconSide, Qt::transparent);
    QPainter painter(&image);
    smoothen(painter);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::accent);
    painter.drawRoundedRect(QRectF(4, 4, 120, 120), 26, 26);
    painter.setPen(QPen(Qt::white, 8));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(64, 64), 42, 42);
    drawYen(painter, QRectF(46, 38, 36, 52), Qt::white, 9);
    return image;
}

// Printed at the head of every receipt, at the receipt's own scale (the slip is about 210 pixels
// wide), in black on white for a thermal roll: the program icon's mark and the program's name.
QImage receiptLogo()
{
    constexpr int width = 192, height = 48, mark = 44, gap = 10;
    QImage image = canvas(width, height, Qt::white);
    QPainter painter(&image);
    smoothen(painter);
    QFont font = captionFont(34);
    font.setBold(true);
    const QString name = QStringLiteral("Kesto");
    const qreal left = (width - mark - gap - QFontMetricsF(font).horizontalAdvance(name)) / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(QRectF(left, 2, mark, mark), 10, 10);
    drawYen(painter, QRectF(left + 13, 11, 18, 26), Qt::white, 4.5);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(left + mark + gap, 0, width, height), Qt::AlignLeft | Qt::AlignVCenter, name);
    return image;
}

} // namespace artgen
