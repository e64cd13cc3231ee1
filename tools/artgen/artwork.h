#pragma once

#include <QImage>
#include <QString>

namespace artgen {

enum class ButtonState { Normal, Hover, Pressed };
enum class CheckState { Unchecked, Hover, Checked };
enum class PageStep { First, Previous, Next, Last };
enum class Channel { WeChatPay, Alipay };

// Faces of the sign-in dialog's push buttons and of the check-box indicators.
QImage primaryButton(const QString &caption, ButtonState state);
QImage quietButton(const QString &caption, ButtonState state);
QImage checkFace(CheckState state);

// Small single-colour glyphs for fields, drop-downs, the records tool bars and the pay window.
QImage userGlyph();
QImage lockGlyph();
QImage dropArrow();
QImage tradeTypeIcon();
QImage queryIcon();
QImage pageArrow(PageStep step);
QImage infoIcon();
QImage currencyIcon();

// The pay window's left column and the program icon.
QImage channelTile(Channel channel, bool selected);
QImage cloudTile();
QImage programIcon();

// The default logo that heads the receipt, kept beside the program rather than compiled in.
QImage receiptLogo();

} // namespace artgen
