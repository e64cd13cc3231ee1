#include "catalogue.h"
#include "artwork.h"

namespace artgen {

namespace {

struct ButtonSet
{
    const char *file;
    const char *caption;
    QImage (*paint)(const QString &, ButtonState);
};

// Each button has a normal, hover and pressed face, named file.jpg, filehover.jpg, filepress.jpg.
void addButtonFaces(std::vector<Artwork> &list, const ButtonSet &set)
{
    const QString caption = QString::fromUtf8(set.caption);
    const auto paint = set.paint;
    const QString stem = QStringLiteral("kesto/") + QLatin1String(set.file);
    list.push_back({stem + ".jpg", [=] { return paint(caption, ButtonState::Normal); }});
    list.push_back({stem + "hover.jpg", [=] { return paint(caption, ButtonState::Hover); }});
    list.push_back({stem + "press.jpg", [=] { return paint(caption, ButtonState::Pressed); }});
}

void addIcons(std::vector<Artwork> &list)
{
    list.push_back({"icon/kvt.ico", programIcon});
    // The file ending in 2 marks the selected channel.
    list.push_back({"icon/wx1.png", [] { return channelTile(Channel::WeChatPay, false); }});
    list.push_back({"icon/wx2.png", [] { return channelTile(Channel::WeChatPay, true); }});
    list.push_back({"icon/z1.png", [] { return channelTile(Channel::Alipay, false); }});
    list.push_back({"icon/z2.png", [] { return channelTile(Channel::Alipay, true); }});
    list.push_back({"icon/yun.png", cloudTile});
    list.push_back({"icon/info.png", infoIcon});
    list.push_back({"icon/dollar.png", currencyIcon});
    list.push_back({"receipt/kesto.jpg", receiptLogo});
}

void addControls(std::vector<Artwork> &list)
{
    addButtonFaces(list, {"login", "登录", primaryButton});
    addButtonFaces(list, {"queding", "确定", primaryButton});
    addButtonFaces(list, {"exit", "退出", quietButton});
    addButtonFaces(list, {"cancel", "取消", quietButton});
    list.push_back({"kesto/username.jpg", userGlyph});
    list.push_back({"kesto/password.jpg", lockGlyph});
    list.push_back({"kesto/check.jpg", [] { return checkFace(CheckState::Unchecked); }});
    list.push_back({"kesto/checkhover.jpg", [] { return checkFace(CheckState::Hover); }});
    list.push_back({"kesto/checked.jpg", [] { return checkFace(CheckState::Checked); }});
    list.push_back({"kesto/drop.png", dropArrow});
}

void addToolbar(std::vector<Artwork> &list)
{
    list.push_back({"kesto/pay.png", tradeTypeIcon});
    list.push_back({"kesto/refresh.png", queryIcon});
    list.push_back({"kesto/lastx.png", [] { return pageArrow(PageStep::First); }});
    list.push_back({"kesto/last.png", [] { return pageArrow(PageStep::Previous); }});
    list.push_back({"kesto/next.png", [] { return pageArrow(PageStep::Next); }});
    list.push_back({"kesto/nextx.png", [] { return pageArrow(PageStep::Last); }});
}

} // namespace

std::vector<Artwork> catalogue()
{
    std::vector<Artwork> list;
    addIcons(list);
    addControls(list);
    addToolbar(list);
    return list;
}

} // namespace artgen
