#include "payment/kestowindow.h"
#include "ui_kestowindow.h"

#include "payment/halfwidthinput.h"
#include "service/formbody.h"
#include "service/replyformat.h"
#include "service/servicepaths.h"
#include "service/serviceurl.h"
#include "service/wxnetwork.h"

#include <QButtonGroup>
#include <QKeyEvent>
#include <QMessageBox>
#include <QShortcut>
#include <QTimer>

#include <algorithm>

namespace {

const QString Paid = QStringLiteral("支付成功");
const QString AwaitingPassword = QStringLiteral("等待用户验证密码");
const QString ReadyText = QStringLiteral("软件准备就绪...");
const QString LeftWaiting = QStringLiteral("上一笔等待顾客确认，按F12查询");
constexpr int CodeLength = 18;
constexpr int DeleteKey = 11;
constexpr int PointKey = 10;
constexpr int DefaultAutoQueryEveryS = 5;
constexpr int DefaultAutoQueryLimitS = 60;

} // namespace

KestoWindow::KestoWindow(QWidget *parent)
    : WxWidget(parent), ui(new Ui::KestoWindow), m_Sale(m_Config), m_PayNet(new WxNetwork),
      m_QueryNet(new WxNetwork)
{
    ui->setupUi(this);
    setWindowTitle(m_Sale.read(QStringLiteral("jm_title")));
    HalfWidthInput::attach(ui->m_Money);
    HalfWidthInput::attach(ui->m_Codes);

    m_Keypad = new QButtonGroup(this);
    ui->m_CancelPay->hide();
    ui->m_Codes->hide();
    ui->m_QueryPay->hide();
    const QVector<QPair<QAbstractButton *, int>> keys{
        {ui->m_ButtonOne, 1},   {ui->m_ButtonTwo, 2},          {ui->m_ButtonThree, 3},
        {ui->m_ButtonFour, 4},  {ui->m_ButtonFive, 5},         {ui->m_ButtonSix, 6},
        {ui->m_ButtonSeven, 7}, {ui->m_ButtonEight, 8},        {ui->m_ButtonNine, 9},
        {ui->m_ButtonZero, 0},  {ui->m_ButtonPoint, PointKey}, {ui->m_ButtonDel, DeleteKey}};
    for (const auto &key : keys)
        m_Keypad->addButton(key.first, key.second);

    connect(m_Keypad, &QButtonGroup::idClicked, this, &KestoWindow::ButtonGroup);
    connect(ui->m_Pay, &QPushButton::clicked, this, &KestoWindow::Pay);
    connect(ui->m_CancelPay, &QPushButton::clicked, this, &KestoWindow::Paybakc);
    connect(ui->Tab_Ali, &QPushButton::clicked, this, &KestoWindow::alipay);
    connect(ui->Tab_wx, &QPushButton::clicked, this, &KestoWindow::kesto);
    connect(ui->m_Codes, &QLineEdit::textChanged, this, &KestoWindow::startPay);
    connect(ui->m_Refunds, &QPushButton::clicked, this, &KestoWindow::showrefundslot);
    connect(ui->m_Money, &QLineEdit::returnPressed, this, &KestoWindow::startcodes);
    for (WxNetwork *network : {m_PayNet, m_QueryNet}) {
        network->setTimeout(serviceTimeoutMs(m_Sale));
        connect(network, &WxNetwork::Replied, this, &KestoWindow::Payed);
        connect(network, &WxNetwork::Failed, this, &KestoWindow::PayFailed);
    }

    m_QueryKey = new QShortcut(QKeySequence(Qt::Key_F12), this);
    connect(m_QueryKey, &QShortcut::activated, this, &KestoWindow::PayQuery);
    connect(ui->m_QueryPay, &QPushButton::clicked, this, &KestoWindow::PayQuery);
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), this), &QShortcut::activated, this,
            &KestoWindow::Reprint);
    m_AutoQuery = new QTimer(this);
    m_AutoQuery->setSingleShot(true);
    connect(m_AutoQuery, &QTimer::timeout, this, &KestoWindow::autoQuery);
    const int every = m_Sale.read(QStringLiteral("autoqueryinterval")).toInt();
    m_AutoEveryMs = 1000 * (every > 0 ? every : DefaultAutoQueryEveryS);
    m_LeftQuery = new QTimer(this);
    m_LeftQuery->setInterval(m_AutoEveryMs);
    connect(m_LeftQuery, &QTimer::timeout, this, &KestoWindow::askAboutLeftTrades);

    ui->m_Money->setFocus();
    m_PayType = QStringLiteral("Kesto");
}

KestoWindow::~KestoWindow()
{
    writeJournal();
    delete m_PayNet;
    delete m_QueryNet;
    delete ui;
}

void KestoWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        Paybakc();
    if (event->key() == Qt::Key_W)
        kesto();
    if (event->key() == Qt::Key_S)
        alipay();
}

// The cashier's cancel: Escape, "取消支付", the tray's entry. A sale whose payment may have gone
// through is not dropped lightly: a rescan would charge the customer again.
void KestoWindow::Paybakc()
{
    if (m_PayRequest != 0) {
        setStatus(QStringLiteral("支付结果未返回，请稍候"));
        return;
    }
    if (m_OutcomeUnknown) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("提示"),
                        QStringLiteral("支付结果未知，请先在支付报表中核实。仍要取消吗？"),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setDefaultButton(QMessageBox::No);
        if (box.exec() != QMessageBox::Yes)
            return;
    }
    const bool leaving = m_AwaitingCustomer;
    if (leaving)
        leaveWaitingTrade();
    reset(true);
    if (leaving)
        setStatus(LeftWaiting);
}

// Back to the amount. Only the cashier's own resets take the keyboard: one that a reply or a timer
// brings must not pull the rest of a scan away from the window the cashier works in.
void KestoWindow::reset(bool byCashier)
{
    ShowCodes(false);
    ui->m_Money->clear();
    ui->m_QueryPay->hide();
    m_AwaitingCustomer = false;
    m_OutcomeUnknown = false;
    m_AutoQuerying = false;
    m_AutoQuery->stop();
    ui->m_Codes->setReadOnly(false);
    // Opened before a sale needs it, not between the scanner's last character and the request.
    m_Journal.open();
    focusField(byCashier);
}

// A customer may still confirm a sale the cashier left: it is asked about in the background until
// its limit, and a payment found then is printed and said.
void KestoWindow::leaveWaitingTrade()
{
    const qint64 left = m_AutoLimitMs - m_AutoSince.elapsed();
    if (!m_AutoQuerying || left <= 0)
        return;
    m_LeftTrades.insert(m_TradeNo, qMakePair(m_TradeType, QDeadlineTimer(left)));
    m_LeftQuery->start();
}

void KestoWindow::askAboutLeftTrades()
{
    for (auto it = m_LeftTrades.begin(); it != m_LeftTrades.end();) {
        if (it->second.hasExpired()) {
            it = m_LeftTrades.erase(it);
            continue;
        }
        if (!queryOut(it.key()))
            sendQuery({it.key(), it->first});
        ++it;
    }
    if (m_LeftTrades.isEmpty())
        m_LeftQuery->stop();
}

void KestoWindow::alipay()
{
    m_PayType = QStringLiteral("AliPay");
    ui->Tab_Ali->setStyleSheet(QStringLiteral("background-image: url(:/Icon/Resources/z2.png);border:none"));
    ui->Tab_wx->setStyleSheet(QStringLiteral("background-image: url(:/Icon/Resources/wx1.png);border:none"));
}

void KestoWindow::kesto()
{
    m_PayType = QStringLiteral("Kesto");
    ui->Tab_Ali->setStyleSheet(QStringLiteral("background-image: url(:/Icon/Resources/z1.png);border:none"));
    ui->Tab_wx->setStyleSheet(QStringLiteral("background-image: url(:/Icon/Resources/wx2.png);border:none"));
}

// A read-only code field means the sale has sent its payment: until a reset, no further scan and
// no changed character may charge the customer a second time.
void KestoWindow::startPay(const QString &)
{
    if (ui->m_Codes->isHidden() || ui->m_Codes->isReadOnly() || ui->m_Codes->text().size() != CodeLength)
        return;
    const QString code = ui->m_Codes->text();
    // Payment codes of both channels are digits only: any other would only be refused.
    if (!std::all_of(code.cbegin(), code.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        setStatus(QStringLiteral("付款码只能是数字"));
        ui->m_Codes->selectAll();
        return;
    }
    const QString amount = ui->m_Money->text();
    const QString device = m_Sale.read(QStringLiteral("device"));
    const QString switched = followCodeChannel(code);
    FormFields fields = accountFields(m_Sale);
    fields << qMakePair(QStringLiteral("codes"), code) << qMakePair(QStringLiteral("price"), amount)
           << qMakePair(QStringLiteral("drive"), device);
    const char *path = m_PayType == QLatin1String("Kesto") ? ServicePath::WeChatPay : ServicePath::AliPay;
    ui->m_Codes->setReadOnly(true);
    m_PayChannel = m_PayType;
    const qint64 row =
        m_Journal.begin({SalesJournal::Kind::Sale, m_PayType, m_SaleFen, device, code, QString()});
    m_JournalNote = m_Journal.takeFailure() ? QStringLiteral("（本机交易流水无法写入）") : QString();
    setStatus(switched + QStringLiteral("支付中..."));
    m_PayRequest = m_PayNet->sendTo(serviceUrl(m_Sale, path), formBody(fields));
    if (row != 0)
        m_JournalRows.insert(m_PayRequest, row);
}

// A payment code tells its channel by its first two digits (WeChat Pay 10-15, Alipay 25-30): a
// code of the other channel goes where it belongs instead of being refused. Says what it switched.
QString KestoWindow::followCodeChannel(const QString &code)
{
    if (m_Sale.read(QStringLiteral("autochannel")) == QLatin1String("0"))
        return QString();
    bool digits = false;
    const int prefix = code.leftRef(2).toInt(&digits);
    if (!digits)
        return QString();
    if (prefix >= 10 && prefix <= 15 && m_PayType != QLatin1String("Kesto")) {
        kesto();
        return QStringLiteral("已切换为微信支付，");
    }
    if (prefix >= 25 && prefix <= 30 && m_PayType != QLatin1String("AliPay")) {
        alipay();
        return QStringLiteral("已切换为支付宝，");
    }
    return QString();
}

void KestoWindow::ButtonGroup(int btnID)
{
    // Once accepted, the amount on screen is the amount charged.
    if (!ui->m_Money->isEnabled())
        return;
    const QString text = ui->m_Money->text();
    if (text.startsWith(QLatin1String("0.")) && text.size() >= 4 && btnID != DeleteKey)
        return;
    if (text == QLatin1String("0") && btnID != PointKey && btnID != DeleteKey)
        return;
    if (btnID >= 0 && btnID <= 9)
        ui->m_Money->insert(QString::number(btnID));
    else if (btnID == PointKey)
        ui->m_Money->insert(QStringLiteral("."));
    else if (btnID == DeleteKey)
        ui->m_Money->setText(text.left(text.size() - 1));
}

void KestoWindow::Pay()
{
    const QString amount = ui->m_Money->text();
    if (amount.isEmpty()) {
        setStatus(QStringLiteral("金额不能空！"));
        return;
    }
    const std::optional<qint64> fen = fenFromYuan(amount);
    if (!fen) {
        setStatus(QStringLiteral("金额格式不正确！"));
        ui->m_Money->selectAll();
        return;
    }
    // Taken while the customer finds the code, so that nothing between the scanner's last
    // character and the request reads the settings file or parses the amount.
    m_Sale = SettingsSnapshot(m_Config);
    m_SaleFen = *fen;
    setStatus(QStringLiteral("等待输入条形码..."));
    ui->m_CancelPay->show();
    ui->m_Pay->hide();
    ui->m_Money->setEnabled(false);
    ShowCodes(true);
    focusField(true);
}

void KestoWindow::startcodes()
{
    Pay();
}

void KestoWindow::Payed(quint64 id, const QJsonObject &obj)
{
    const QJsonObject call = obj.value(QStringLiteral("call")).toObject();
    const QString msg = call.value(QStringLiteral("msg")).toString();
    // An answer that says nothing does not say the payment failed.
    if (msg.isEmpty()) {
        PayFailed(id);
        return;
    }
    const bool payReply = id != 0 && id == m_PayRequest;
    if (!payReply && !m_Queries.contains(id))
        return;
    journalReply(id, msg, call);
    Trade trade{call.value(QStringLiteral("out_trade_no")).toString(), m_PayChannel};
    if (payReply)
        m_PayRequest = 0;
    else
        trade = m_Queries.take(id);
    const bool onScreen = payReply || (m_AwaitingCustomer && trade.no == m_TradeNo);
    if (msg == Paid) {
        m_LeftTrades.remove(trade.no);
        if (!onScreen) {
            paidElsewhere(call);
            return;
        }
        reset(false);
        m_Printed.insert(call.value(QStringLiteral("out_trade_no")).toString());
        // A till set up without a printer sells without a word about it.
        const ReceiptPrint printed = PrintTicket(call);
        setStatus(printed == ReceiptPrint::Printed || printed == ReceiptPrint::Skipped
                      ? QStringLiteral("支付成功，软件准备就绪...")
                      : QStringLiteral("支付成功，") + printerProblem(printed));
    } else if (msg == AwaitingPassword) {
        if (!onScreen) {
            if (trade.byCashier && !m_AwaitingCustomer && ui->m_Codes->isHidden())
                setStatus(LeftWaiting);
            return;
        }
        m_TradeNo = trade.no;
        // An answer that does not name its channel is asked about on the sale's own.
        const QString payt = call.value(QStringLiteral("payt")).toString();
        m_TradeType = payt.isEmpty() ? trade.type : payt;
        const bool firstWait = !m_AwaitingCustomer;
        m_AwaitingCustomer = true;
        ui->m_QueryPay->show();
        setStatus(msg);
        if (firstWait)
            startAutoQuery();
        nextAutoQuery(true);
    } else if (onScreen) {
        setStatus(shownMessage(msg));
        if (!m_AwaitingCustomer) {
            // The code was refused: the next scan replaces it.
            ui->m_Codes->setReadOnly(false);
            ui->m_Codes->selectAll();
        }
        nextAutoQuery(false);
    }
}

void KestoWindow::PayFailed(quint64 id)
{
    // Its journal row stays unknown: the payment may have gone through.
    m_JournalRows.remove(id);
    if (id != 0 && id == m_PayRequest) {
        // The code field stays closed: the payment may have gone through.
        m_PayRequest = 0;
        m_OutcomeUnknown = true;
        setStatus(QStringLiteral("网络异常，支付结果未知，请在支付报表中核实"));
        return;
    }
    const auto query = m_Queries.find(id);
    if (query == m_Queries.end())
        return;
    const bool onScreen = m_AwaitingCustomer && query->no == m_TradeNo;
    m_Queries.erase(query);
    if (onScreen) {
        setStatus(QStringLiteral("网络异常，请稍后按F12重新确认"));
        nextAutoQuery(false);
    }
}

void KestoWindow::PayQuery()
{
    // A query about an older trade runs quietly; its answer says which sale it was about.
    if (m_AwaitingCustomer)
        setStatus(QStringLiteral("确认支付中..."));
    sendQuery({m_TradeNo, m_TradeType, true});
}

void KestoWindow::sendQuery(const Trade &trade)
{
    FormFields fields = accountFields(m_Sale);
    fields << qMakePair(QStringLiteral("out_trade_no"), trade.no)
           << qMakePair(QStringLiteral("drive"), m_Sale.read(QStringLiteral("device")));
    const char *path =
        trade.type == QLatin1String("Kesto") ? ServicePath::WeChatQuery : ServicePath::AliQuery;
    m_Queries.insert(m_QueryNet->sendTo(serviceUrl(m_Sale, path), formBody(fields)), trade);
}

bool KestoWindow::queryOut(const QString &tradeNo) const
{
    for (const Trade &trade : m_Queries) {
        if (trade.no == tradeNo)
            return true;
    }
    return false;
}

// The customer confirms on the phone: the sale asks the service again by itself every
// "autoqueryinterval" seconds (default 5) until "autoquerylimit" seconds have passed since it began
// to wait ("autoquery=0": only F12).
void KestoWindow::startAutoQuery()
{
    if (m_Sale.read(QStringLiteral("autoquery")) == QLatin1String("0"))
        return;
    const int limit = m_Sale.read(QStringLiteral("autoquerylimit")).toInt();
    m_AutoLimitMs = 1000LL * (limit > 0 ? limit : DefaultAutoQueryLimitS);
    m_AutoSince.start();
    m_AutoQuerying = true;
}

// After each answer about the waiting sale: the next question in a few seconds, or the limit. An
// answer that the customer still has to confirm shows the time left; any other stays on show.
void KestoWindow::nextAutoQuery(bool stillWaiting)
{
    if (!m_AutoQuerying || !m_AwaitingCustomer)
        return;
    const qint64 left = m_AutoLimitMs - m_AutoSince.elapsed();
    if (left <= 0) {
        m_AutoQuerying = false;
        setStatus(QStringLiteral("顾客未完成支付，请顾客确认后按F12，或按Esc取消"));
        return;
    }
    if (stillWaiting)
        setStatus(QStringLiteral("等待顾客输入密码（自动确认中，剩余%1秒）").arg((left + 999) / 1000));
    m_AutoQuery->start(int(qMin<qint64>(m_AutoEveryMs, left)));
}

void KestoWindow::autoQuery()
{
    if (!m_AutoQuerying || !m_AwaitingCustomer)
        return;
    // At most one question out at a time: its answer asks the next.
    if (queryOut(m_TradeNo))
        return;
    if (m_AutoSince.elapsed() >= m_AutoLimitMs) {
        nextAutoQuery(false);
        return;
    }
    sendQuery({m_TradeNo, m_TradeType});
}

// Every reply is written down, also one about a sale that is no longer on screen. A query's
// error says nothing about the payment (an idle F12 after a change of account, say): only a
// paid or waiting answer is recorded.
void KestoWindow::journalReply(quint64 id, const QString &msg, const QJsonObject &call)
{
    const SalesJournal::Outcome outcome = msg == Paid               ? SalesJournal::Outcome::Paid
                                          : msg == AwaitingPassword ? SalesJournal::Outcome::Waiting
                                                                    : SalesJournal::Outcome::Failed;
    const QString shown = shownMessage(msg);
    if (m_JournalRows.contains(id)) {
        const qint64 row = m_JournalRows.take(id);
        journalLater([=] { m_Journal.complete(row, outcome, shown, call); });
    } else if (m_Queries.contains(id) && outcome != SalesJournal::Outcome::Failed) {
        const QString trade = m_Queries.value(id).no;
        journalLater([=] { m_Journal.completeTrade(trade, outcome, shown, call); });
    }
}

// The cashier waits for the status, not for the journal: a reply's row is written just after the
// status changes. A crash in between leaves the row unknown (to be checked), never wrong.
void KestoWindow::journalLater(std::function<void()> write)
{
    if (m_JournalPending.isEmpty())
        QMetaObject::invokeMethod(this, &KestoWindow::writeJournal, Qt::QueuedConnection);
    m_JournalPending << std::move(write);
}

void KestoWindow::writeJournal()
{
    const QVector<std::function<void()>> pending = std::exchange(m_JournalPending, {});
    for (const auto &write : pending)
        write();
}

void KestoWindow::Reprint()
{
    writeJournal();
    const QJsonObject call = m_Journal.lastPaidCall();
    if (call.isEmpty()) {
        setStatus(QStringLiteral("没有可补打的小票"));
        return;
    }
    const QString failure = reprintSale(call, m_Config);
    setStatus(failure.isEmpty() ? QStringLiteral("小票已补打") : failure);
}

void KestoWindow::KeyShow()
{
    setWindowTitle(m_Config.read(QStringLiteral("jm_title")));
    if (isHidden()) {
        show();
        focusField(true);
    } else {
        hide();
    }
}

void KestoWindow::showrefundslot()
{
    emit refundRequested();
}

bool KestoWindow::waitsForCode() const
{
    return isVisible() && !ui->m_Codes->isHidden() && !ui->m_Codes->isReadOnly();
}

void KestoWindow::takeScan(const QString &code)
{
    if (code.size() != CodeLength) {
        setStatus(QStringLiteral("付款码长度不正确"));
        return;
    }
    ui->m_Codes->setText(code);
}

void KestoWindow::ShowCodes(bool on)
{
    if (on) {
        ui->m_Codes->show();
        ui->Icon_info->setGeometry(390, 180, 32, 32);
        ui->Tip_Status->setGeometry(430, 185, 291, 241);
        ui->m_Codes->clear();
        return;
    }
    ui->m_CancelPay->hide();
    ui->m_Pay->show();
    ui->m_Codes->hide();
    ui->Icon_info->setGeometry(390, 130, 32, 32);
    ui->Tip_Status->setGeometry(430, 135, 291, 31);
    ui->m_Money->setEnabled(true);
    setStatus(ReadyText);
}

ReceiptPrint KestoWindow::PrintTicket(const QJsonObject &call)
{
    return printSaleReceipt(call, m_Sale);
}

// The status label shows rich text; the service's words must never be taken for markup.
void KestoWindow::setStatus(const QString &text)
{
    ui->Tip_Status->setText((text + m_JournalNote).toHtmlEscaped());
}

// The scanner types into whatever has the focus, so the field of the layout on screen gets it;
// without activation, once the window is next activated.
void KestoWindow::focusField(bool activate)
{
    QLineEdit *field = ui->m_Codes->isHidden() ? ui->m_Money : ui->m_Codes;
    field->setFocus();
    if (activate && isVisible()) {
        raise();
        activateWindow();
    }
}

// A sale that is no longer on screen was paid (a late answer, or F12 about an older trade): its
// receipt is printed once, and the sale the cashier has started stays as it is.
void KestoWindow::paidElsewhere(const QJsonObject &call)
{
    const QString trade = call.value(QStringLiteral("out_trade_no")).toString();
    if (m_Printed.contains(trade))
        return;
    m_Printed.insert(trade);
    PrintTicket(call);
    setStatus(QStringLiteral("上一笔已支付 ￥") +
              yuanFromFen(call.value(QStringLiteral("total_fee")).toString()));
}
