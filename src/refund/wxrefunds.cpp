#include "refund/wxrefunds.h"
#include "ui_wxrefunds.h"

#include "payment/halfwidthinput.h"
#include "service/formbody.h"
#include "service/replyformat.h"
#include "service/servicepaths.h"
#include "service/serviceurl.h"
#include "service/wxnetwork.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QShortcut>

namespace {

constexpr int CodeLength = 18;
constexpr int Folded = 105;
constexpr int Unfolded = 411;
// A scanner ends its code with Return, which may come after the lookup's reply: a key refunds
// only once the order has been on screen, and the code field quiet, this long.
constexpr qint64 KeySettleMs = 300;

// The paid-amount line grows with what was refunded: a long one is set smaller rather than cut at
// the window's edge.
void fitToWidth(QLabel *label, int pointSize)
{
    QFont font(QStringLiteral("微软雅黑"));
    font.setPointSize(pointSize);
    while (font.pointSize() > 6 && QFontMetrics(font).horizontalAdvance(label->text()) > label->width())
        font.setPointSize(font.pointSize() - 1);
    label->setStyleSheet(QStringLiteral("font: %1pt \"微软雅黑\";").arg(font.pointSize()));
}

} // namespace

wxRefunds::wxRefunds(QWidget *parent)
    : QWidget(parent), ui(new Ui::wxRefunds), m_OrderNet(new WxNetwork), m_RefundNet(new WxNetwork),
      m_Frame(this, PaintedFrame::refundLook())
{
    ui->setupUi(this);
    HalfWidthInput::attach(ui->m_Codes);
    HalfWidthInput::attach(ui->m_refund);
    // The order's values are the service's words: shown as they are, never as markup.
    for (QLabel *label : {ui->transaction_id, ui->total_fee, ui->device_info, ui->payt})
        label->setTextFormat(Qt::PlainText);
    const int timeoutMs = serviceTimeoutMs(m_Config);
    m_OrderNet->setTimeout(timeoutMs);
    m_RefundNet->setTimeout(timeoutMs);
    connect(m_OrderNet, &WxNetwork::Replied, this, &wxRefunds::GetOrders);
    connect(m_OrderNet, &WxNetwork::Failed, this, &wxRefunds::lookupFailed);
    connect(m_RefundNet, &WxNetwork::Replied, this, &wxRefunds::GetRefunds);
    connect(m_RefundNet, &WxNetwork::Failed, this, &wxRefunds::refundFailed);
    connect(ui->m_Codes, &QLineEdit::textChanged, this, &wxRefunds::QueryOrders);
    connect(ui->Button_Save, &QPushButton::clicked, this, &wxRefunds::Refunding);
    // Keys have shortcuts of their own, so that a key and a click on the button can be told apart.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
        connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, &wxRefunds::refundByKey);
    m_OrderShown.start();
    m_LastCharacter.start();
}

wxRefunds::~wxRefunds()
{
    delete m_OrderNet;
    delete m_RefundNet;
    delete ui;
}

void wxRefunds::takeScan(const QString &code)
{
    ui->m_Codes->setText(code);
}

void wxRefunds::QueryOrders(const QString &)
{
    m_LastCharacter.restart();
    const QString code = ui->m_Codes->text();
    if (code.size() != CodeLength)
        return;
    FormFields fields = accountFields(m_Config);
    fields << qMakePair(QStringLiteral("out_trade_no"), code)
           << qMakePair(QStringLiteral("device"), m_Config.read(QStringLiteral("device")));
    m_LookupCode = code;
    m_Lookup = m_OrderNet->sendTo(serviceUrl(m_Config, ServicePath::Orders), formBody(fields));
}

void wxRefunds::GetOrders(quint64 id, const QJsonObject &obj)
{
    // Only the newest lookup counts, and only while its code is still the one on screen.
    if (id != m_Lookup || m_LookupCode != ui->m_Codes->text())
        return;
    m_Lookup = 0;
    const QJsonObject call = obj.value(QStringLiteral("call")).toObject();
    const auto text = [&call](const char *key) { return call.value(QLatin1String(key)).toString(); };
    if (text("out_trade_no").isEmpty()) {
        forgetOrder();
        fold(Folded);
        const QString msg = shownMessage(text("msg"));
        say(QMessageBox::Critical, QStringLiteral("错误"),
            msg.isEmpty() ? QStringLiteral("未找到该订单") : msg);
        readyForScan();
        ui->m_Codes->selectAll();
        return;
    }
    m_OrderNo = text("out_trade_no");
    m_OrderFen = text("total_fee").toLongLong();
    m_OrderAmount = yuanFromFen(text("total_fee"));
    m_OrderDevice = text("device_info");
    m_TransactionId = text("transaction_id");
    m_Channel = text("payt");
    m_OrderCode = m_LookupCode;
    m_HasOrder = true;
    m_OrderShown.restart();

    // The service's count includes this till's refunds; its lookup does not promise one.
    const SalesJournal::OrderRefunds journal = m_Journal.refundsOf(m_OrderNo);
    bool counted = false;
    const qint64 serviceRefunds = text("refunds").toLongLong(&counted);
    m_RefundedFen = counted && serviceRefunds >= 0 ? serviceRefunds : journal.refundedFen;
    m_UnknownUnseen = journal.unknownUnseen;
    QString refunds;
    if (m_RefundedFen > 0 || journal.unknownFen > 0)
        refunds = QStringLiteral(" （已退 ￥") + yuanFromFen(m_RefundedFen) +
                  (journal.unknownFen > 0 ? QStringLiteral("，结果未知 ￥") + yuanFromFen(journal.unknownFen)
                                          : QString()) +
                  QStringLiteral("）");

    ui->transaction_id->setText(QStringLiteral("系统单号：") + shownMessage(m_TransactionId));
    ui->total_fee->setText(QStringLiteral("支付金额：￥") + m_OrderAmount + refunds);
    fitToWidth(ui->total_fee, 10);
    ui->device_info->setText(QStringLiteral("支付设备：") + shownMessage(m_OrderDevice));
    ui->payt->setText(QStringLiteral("支付方式：") + shownMessage(m_Channel));
    ui->m_refund->setText(yuanFromFen(remainingFen()));
    ui->m_refund->setFocus(Qt::OtherFocusReason);
    fold(Unfolded);
}

void wxRefunds::lookupFailed(quint64 id)
{
    if (id != m_Lookup || m_LookupCode != ui->m_Codes->text())
        return;
    m_Lookup = 0;
    forgetOrder();
    fold(Folded);
    say(QMessageBox::Critical, QStringLiteral("错误"), QStringLiteral("网络异常，未能查询订单，请重新扫描"));
    readyForScan();
    ui->m_Codes->selectAll();
}

void wxRefunds::refundByKey()
{
    if (!m_HasOrder || m_OrderCode != ui->m_Codes->text() || m_OrderShown.elapsed() < KeySettleMs ||
        m_LastCharacter.elapsed() < KeySettleMs)
        return;
    Refunding();
}

void wxRefunds::Refunding()
{
    if (m_Refund != 0) {
        say(QMessageBox::Information, QStringLiteral("提示"), QStringLiteral("上一笔退款处理中，请稍候"));
        return;
    }
    if (!m_HasOrder || m_OrderCode != ui->m_Codes->text()) {
        say(QMessageBox::Critical, QStringLiteral("错误"), QStringLiteral("请先扫描订单号"));
        return;
    }
    const QString amount = ui->m_refund->text();
    if (amount.isEmpty()) {
        say(QMessageBox::Critical, QStringLiteral("错误"), QStringLiteral("退款金额不能空"));
        return;
    }
    const std::optional<qint64> fen = fenFromYuan(amount);
    if (!fen) {
        say(QMessageBox::Critical, QStringLiteral("错误"), QStringLiteral("退款金额格式不正确"));
        return;
    }
    if (!mayRefund(*fen))
        return;

    FormFields fields = accountFields(m_Config);
    const char *path = nullptr;
    if (m_Channel == QLatin1String("Kesto")) {
        path = ServicePath::WeChatRefund;
        fields << qMakePair(QStringLiteral("out_trade_no"), m_OrderCode)
               << qMakePair(QStringLiteral("total_fee"), m_OrderAmount);
    } else if (m_Channel == QLatin1String("AliPay")) {
        path = ServicePath::AliRefund;
        fields << qMakePair(QStringLiteral("trade_no"), m_TransactionId)
               << qMakePair(QStringLiteral("device"), m_OrderDevice);
    } else {
        say(QMessageBox::Critical, QStringLiteral("错误"), QStringLiteral("未知的支付方式"));
        return;
    }
    fields << qMakePair(QStringLiteral("refmoney"), amount);
    ui->Button_Save->setText(QStringLiteral("退款中"));
    m_RefundOrderNo = m_OrderNo;
    m_RefundRow =
        m_Journal.begin({SalesJournal::Kind::Refund, m_Channel, *fen, m_OrderDevice, QString(), m_OrderNo});
    m_Refund = m_RefundNet->sendTo(serviceUrl(m_Config, path), formBody(fields));
}

void wxRefunds::GetRefunds(quint64 id, const QJsonObject &obj)
{
    const QString msg =
        shownMessage(obj.value(QStringLiteral("call")).toObject().value(QStringLiteral("msg")).toString());
    // An answer that says nothing does not say the refund failed.
    if (msg.isEmpty()) {
        refundFailed(id);
        return;
    }
    if (id != m_Refund)
        return;
    m_Refund = 0;
    ui->Button_Save->setText(QStringLiteral("退款"));
    const bool refunded = msg == QStringLiteral("退款成功");
    m_Journal.complete(m_RefundRow,
                       refunded ? SalesJournal::Outcome::Refunded : SalesJournal::Outcome::Failed, msg,
                       QJsonObject());
    const QMessageBox::Icon icon = refunded ? QMessageBox::Information : QMessageBox::Critical;
    const bool onScreen = refundOnScreen();
    // A refusal leaves its order on screen, so that the amount can be corrected.
    if (refunded && onScreen)
        refundEnded();
    if (!onScreen)
        say(icon, QStringLiteral("提示"),
            QStringLiteral("订单") + m_RefundOrderNo +
                (refunded ? QStringLiteral("退款成功") : QStringLiteral("退款失败:") + msg));
    else
        say(icon, QStringLiteral("提示"), refunded ? msg : QStringLiteral("退款失败:") + msg);
}

void wxRefunds::refundFailed(quint64 id)
{
    if (id != m_Refund)
        return;
    m_Refund = 0;
    ui->Button_Save->setText(QStringLiteral("退款"));
    // The refund may have been made: the order is looked up afresh before another is sent.
    if (refundOnScreen())
        refundEnded();
    say(QMessageBox::Critical, QStringLiteral("提示"),
        QStringLiteral("网络异常，退款结果未知，请在退款记录中核实"));
}

// Whether the order of the refund that is out is the one on screen, also when it was scanned
// again meanwhile.
bool wxRefunds::refundOnScreen() const
{
    return m_HasOrder && m_OrderNo == m_RefundOrderNo && m_OrderCode == ui->m_Codes->text();
}

// A refund made, or perhaps made: the order on screen no longer shows what is left to refund.
void wxRefunds::refundEnded()
{
    forgetOrder();
    fold(Folded);
    readyForScan();
    ui->m_Codes->selectAll();
}

// What was already refunded is never refunded again: a lost answer and a rescan must not send
// the same refund twice.
bool wxRefunds::mayRefund(qint64 fen)
{
    if (fen > m_OrderFen) {
        say(QMessageBox::Critical, QStringLiteral("错误"), QStringLiteral("退款金额不能大于订单金额"));
        return false;
    }
    if (fen > remainingFen()) {
        say(QMessageBox::Critical, QStringLiteral("错误"),
            QStringLiteral("退款金额超过可退金额 ￥") + yuanFromFen(remainingFen()));
        return false;
    }
    if (!m_UnknownUnseen)
        return true;
    QMessageBox box(QMessageBox::Question, QStringLiteral("提示"),
                    QStringLiteral("该订单有结果未知的退款，请先在退款记录中核实。仍要退款吗？"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    if (box.exec() != QMessageBox::Yes)
        return false;
    m_Journal.markUnknownSeen(m_OrderNo);
    m_UnknownUnseen = false;
    return true;
}

qint64 wxRefunds::remainingFen() const
{
    return m_RefundedFen >= m_OrderFen ? 0 : m_OrderFen - m_RefundedFen;
}

void wxRefunds::ShowDialog()
{
    forgetOrder();
    fold(Folded);
    if (m_Refund == 0)
        ui->Button_Save->setText(QStringLiteral("退款"));
    ui->m_Codes->clear();
    setWindowTitle(m_Config.read(QStringLiteral("jm_title")));
    show();
    readyForScan();
}

void wxRefunds::KeyShow()
{
    if (isHidden())
        ShowDialog();
    else
        hide();
}

void wxRefunds::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        hide();
}

void wxRefunds::forgetOrder()
{
    m_HasOrder = false;
    m_OrderCode.clear();
}

// Folds or unfolds to the given height and centres the window on the whole desktop.
void wxRefunds::fold(int height)
{
    resize(width(), height);
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    move((desktop.width() - width()) / 2, (desktop.height() - height) / 2);
}

// The next scan lands in the code field.
void wxRefunds::readyForScan()
{
    ui->m_Codes->setFocus(Qt::OtherFocusReason);
    raise();
    activateWindow();
}

// The service's words are shown as they are, never as markup.
void wxRefunds::say(QMessageBox::Icon icon, const QString &title, const QString &text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
    // Keys and the scanner go on to this window, whatever the desktop does after a box closes.
    if (isVisible())
        activateWindow();
}
