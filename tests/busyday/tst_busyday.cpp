#include "account.h"
#include "captureserver.h"
#include "mainwindow/kesto.h"
#include "mainwindow/shiftwindow.h"
#include "messagecatcher.h"
#include "payment/kestowindow.h"
#include "payment/receipt.h"
#include "payment/salesjournal.h"
#include "paymentserver.h"
#include "refund/wxrefunds.h"
#include "service/replyformat.h"
#include "shell/lookandfeel.h"
#include "shell/myglobalshortcut.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableWidget>
#include <QtTest>

#include <iostream>
#include <random>

// A day at the till at random: customers pay and come back for refunds, a cashier serves them
// through the real windows with the mistakes cashiers make, and the line to the real service loses,
// cuts, holds and invents answers. After every step the money must add up.
//   tst_busyday [--seed N] [--steps N] [--minutes N]     without a seed: the fixed seeds below

namespace {

const QVector<qint64> CiSeeds{1, 2};
constexpr int CiSteps = 200;
constexpr int TimeoutS = 4; // well above a late answer's delay and a slow payment's second together
const QString Unknown = "网络异常，支付结果未知，请在支付报表中核实";
const QString Charged = "(paid_at IS NOT NULL OR confirm_at IS NOT NULL)"; // or will be once confirmed

// The trades of the receipts printed, counted at the program's own print function (linked
// wrapped): the till prints exactly when it learns that a trade was paid.
QStringList printed;

struct Customer
{
    qint64 fen = 0;
    bool alipay = false;
    QStringList codes; // offered so far, the last in hand
    bool done = false; // has paid, or will once confirmed
};

// The first value of a query on the till's journal, with the service's database attached as "truth".
QString value(const QString &sql)
{
    QSqlQuery query(QSqlDatabase::database("day"));
    return query.exec(sql) && query.next() ? query.value(0).toString() : QString();
}

} // namespace

#define PRINT(wrapping) wrapping##_Z16printSaleReceiptRK11QJsonObjectRK16SettingsSnapshotb
extern "C" ReceiptPrint PRINT(__real_)(const QJsonObject &, const SettingsSnapshot &, bool);
extern "C" ReceiptPrint PRINT(__wrap_)(const QJsonObject &call, const SettingsSnapshot &config, bool reprint)
{
    if (!reprint)
        printed << call.value("out_trade_no").toString();
    return PRINT(__real_)(call, config, reprint);
}

class Day
{
public:
    explicit Day(quint32 seed) : m_Seed(seed), m_Random(seed), m_LineRandom(seed + 1)
    {
        for (const QString &suffix : {"", "-wal", "-shm"})
            QFile::remove(SalesJournal::defaultPath() + suffix);
        printed.clear();
        m_Line.forwardTo(m_Service.port());
        m_Line.setLine([this](const CaptureServer::Request &) { return fate(); });
        rememberAccount(m_Line.url(""));
        for (const QString &entry :
             QStringList{"printname=", "paykey=", "refundkey=", "autoquery=", "autoqueryinterval=1",
                         "autoquerylimit=6", "timeout=" + QString::number(TimeoutS)})
            SettingsStore().write(entry.section('=', 0, 0), entry.section('=', 1));
        m_Hub = std::make_unique<Kesto>();
        for (QWidget *window : QApplication::topLevelWidgets()) {
            m_Pay = m_Pay ? m_Pay : qobject_cast<KestoWindow *>(window);
            m_Refund = m_Refund ? m_Refund : qobject_cast<wxRefunds *>(window);
        }
        m_Keypad = m_Pay->findChild<QButtonGroup *>();
        SalesJournal().open();
        QSqlDatabase day = QSqlDatabase::addDatabase("QSQLITE", "day");
        day.setDatabaseName(SalesJournal::defaultPath());
        day.setConnectOptions("QSQLITE_OPEN_READONLY");
        day.open();
        value("ATTACH '" + m_Service.databasePath() + "' AS truth");
        arrive();
    }
    ~Day() { QSqlDatabase::removeDatabase("day"); }

    // Steps until `steps` are done or the time is up, then once more when all has settled; false
    // on a broken rule, said on standard error.
    bool run(int steps, const QDeadlineTimer &until)
    {
        for (m_Step = 1; m_Step <= steps && !until.hasExpired(); ++m_Step) {
            m_Boxes.answer = chance(70) ? QMessageBox::Yes : QMessageBox::No;
            const QString done = act();
            m_Steps << QString("%1 %2 | %3").arg(m_Step).arg(done, status());
            std::cout << qPrintable(m_Steps.last()) << std::endl; // what a crash leaves behind
            if (!check(false))
                return false;
        }
        // Every answer in or timed out, every waiting trade confirmed or given up.
        QTest::qWait(TimeoutS * 1000 + 4000);
        std::cout << "served " << m_Customers.size() << " customers in " << m_Step - 1 << " steps, "
                  << m_Line.requests().size() << " requests" << std::endl;
        return check(true);
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_Random); }
    bool chance(int percent) { return pick(100) < percent; }
    template <typename T = QLineEdit> T *pay(const char *name) { return m_Pay->findChild<T *>(name); }
    QString status() { return pay<QLabel>("Tip_Status")->text(); }
    QAction *trayEntry(int index) { return m_Hub->findChild<QMenu *>("m_TrayMenu")->actions().value(index); }
    // Where the cashier's keys go once the window is in front: its focus.
    QWidget *keysTo(QWidget *window)
    {
        QApplication::setActiveWindow(window);
        return window->focusWidget() ? window->focusWidget() : window;
    }
    void type(QWidget *target, const QString &text) { QTest::keyClicks(target, text, Qt::NoModifier, 2); }
    void arrive() { m_Customers << Customer{1 + pick(chance(20) ? 100 : 50000), chance(50)}; }

    // One thing the cashier does, picked among what can be done at this moment.
    QString act()
    {
        const bool payShown = m_Pay->isVisible(), entry = payShown && pay("m_Codes")->isVisible();
        const bool open = entry && !pay("m_Codes")->isReadOnly(), refundShown = m_Refund->isVisible();
        const bool order = refundShown && m_Refund->height() == 411;
        const QVector<QPair<int, QString>> choices{
            {payShown ? 1 : 8, "pay window"},
            {payShown ? (entry ? 1 : 12) : 0, "amount"},
            {payShown ? (open ? 12 : 2) : 0, "scan"},
            {entry ? 4 : payShown, "F12"},
            {entry ? (status() == Unknown ? 8 : 3) : payShown, "Escape"},
            {payShown && pay<QPushButton>("m_CancelPay")->isVisible() ? 2 : 0, "取消支付"},
            {payShown, "Return"},
            {entry && !open ? 8 : 2, "wait"},
            {payShown, "Ctrl+P"},
            {refundShown ? 1 : 3, "refund window"},
            {refundShown ? (order ? 2 : 6) : 0, "refund scan"},
            {order ? 8 : 0, "refund"},
            {refundShown, "Return at the refund window"},
            {refundShown, "second click"},
            {1, "records"},
            {m_Hub->isVisible() ? 3 : 0, "records reprint"},
            {1, "shift summary"}};
        int at = 0, roll = 0;
        for (const auto &choice : choices)
            roll += choice.first;
        for (roll = pick(roll); roll >= choices[at].first; ++at)
            roll -= choices[at].first;
        const QString action = choices[at].second;
        const int window = action == "pay window" ? 0 : 1; // also its hotkey's place
        if (action == "pay window" || action == "refund window")
            chance(50) ? trayEntry(window)->trigger()
                       : void(QMetaObject::invokeMethod(m_Hub->findChildren<MyGlobalShortCut *>()[window],
                                                        "activated"));
        else if (action == "amount")
            return sale();
        else if (action == "scan")
            return scan(open);
        else if (QStringList{"F12", "Escape", "Return", "Ctrl+P"}.contains(action))
            QTest::keySequence(keysTo(m_Pay), QKeySequence(action));
        else if (action == "取消支付")
            QTest::mouseClick(pay<QPushButton>("m_CancelPay"), Qt::LeftButton);
        else if (action == "wait")
            QTest::qWait(100 + pick(1400));
        else if (action == "refund scan")
            return refundScan();
        else if (action.contains("refund") || action == "second click")
            return refund(action != "refund",
                          action.startsWith("Return") || (action == "refund" && chance(30)));
        else if (action == "records")
            trayEntry(2)->trigger();
        else if (action == "records reprint")
            return recordsReprint();
        else
            shiftSummary();
        return action;
    }

    // The channel by tile or key, the amount on the keypad or keys (now and then one the till must
    // refuse), then Return or 确认.
    QString sale()
    {
        if (m_Customers.last().done && status() != Unknown)
            arrive();
        const bool alipay = chance(85) == m_Customers.last().alipay;
        chance(50) ? QTest::mouseClick(pay<QPushButton>(alipay ? "Tab_Ali" : "Tab_wx"), Qt::LeftButton)
                   : QTest::keyClick(keysTo(m_Pay), alipay ? Qt::Key_S : Qt::Key_W, Qt::ControlModifier);
        const QString amount =
            chance(90) ? yuanFromFen(m_Customers.last().fen) : QStringList{"1.234", "", "abc"}[pick(3)];
        if (pay("m_Money")->isEnabled())
            pay("m_Money")->clear();
        const bool keypad = chance(50) && !amount.contains('a');
        for (const QChar key : amount)
            keypad ? QTest::mouseClick(m_Keypad->button(QString("0123456789.").indexOf(key)), Qt::LeftButton)
                   : type(pay("m_Money"), key);
        chance(50) || !pay<QPushButton>("m_Pay")->isVisible()
            ? QTest::keyClick(keysTo(m_Pay), Qt::Key_Return)
            : QTest::mouseClick(pay<QPushButton>("m_Pay"), Qt::LeftButton);
        return QString("amount %1 %2").arg(amount, alipay ? "Alipay" : "WeChat Pay");
    }

    // The customer's code at scanner speed into the pay window's focus: a fresh one once the last
    // has been sent and the till asks for another (its ending picks what the service does), else
    // the one in hand again.
    QString scan(bool open)
    {
        if (m_Customers.last().done)
            arrive();
        Customer &customer = m_Customers.last();
        static const char *endings[] = {"0000", "7777", "8888", "8888", "9999", "1234", "5678"};
        if (customer.codes.isEmpty() || (open && m_Sent.contains(customer.codes.last())))
            customer.codes << QString::number(customer.alipay ? 28 : 13) +
                                  QString::number(100000000000LL + ++m_Codes * 1000 + pick(1000)) +
                                  endings[pick(7)];
        if (chance(30)) // scanned again over whatever the field holds
            QTest::keySequence(keysTo(m_Pay), QKeySequence::SelectAll);
        type(keysTo(m_Pay), customer.codes.last());
        return "scan " + customer.codes.last();
    }

    // An order number from a receipt, at scanner speed, some scanners ending it with Return: mostly
    // one of the last trades, those refunded in part first; any the service has; the one on screen
    // again; or one that does not exist.
    QString refundScan()
    {
        QLineEdit *field = m_Refund->findChild<QLineEdit *>("m_Codes");
        const int orders = value("SELECT COUNT(*) FROM truth.orders WHERE " + Charged).toInt();
        const bool recent = chance(60);
        QString number =
            value(QString("SELECT out_trade_no FROM truth.orders WHERE %1 ORDER BY %2 LIMIT 1 OFFSET %3")
                      .arg(Charged, recent ? "refunded BETWEEN 1 AND total_fee - 1 DESC, id DESC" : "id")
                      .arg(pick(qMax(1, recent ? qMin(3, orders) : orders))));
        number = chance(10)                               ? "999999999999999999"
                 : chance(25) && !field->text().isEmpty() ? field->text()
                                                          : number;
        keysTo(m_Refund);
        field->setFocus();
        field->selectAll();
        type(field, number + (chance(50) ? "\r" : ""));
        return "refund scan " + number;
    }

    // The refund button or Return, with what the window offers, a part, more than is left, or
    // whatever the field holds.
    QString refund(bool asIs, bool key)
    {
        QLineEdit *amount = m_Refund->findChild<QLineEdit *>("m_refund");
        const qint64 left = fenFromYuan(amount->text()).value_or(1), part = pick(3);
        if (!asIs)
            amount->setText(yuanFromFen(part == 0   ? left
                                        : part == 1 ? 1 + pick(int(left))
                                                    : left + 1 + pick(100)));
        m_Asked << amount->text();
        key ? QTest::keyClick(keysTo(m_Refund), Qt::Key_Return)
            : QTest::mouseClick(m_Refund->findChild<QPushButton *>("Button_Save"), Qt::LeftButton);
        return QString("refund %1 by %2").arg(amount->text(), key ? "Return" : "click");
    }

    // A row's 补打小票, sometimes while the records are asked for again and answer meanwhile.
    QString recordsReprint()
    {
        auto *table = m_Hub->findChild<QTableWidget *>("m_Orders");
        if (table->rowCount() == 0)
            return "no record to reprint";
        const bool reload = chance(70);
        QTimer::singleShot(100, [this, reload] { // in the menu's own event loop
            if (reload) {
                m_Hub->findChild<QAction *>("m_QueryAction")->trigger();
                QTest::qWait(400);
            }
            if (QWidget *menu = QApplication::activePopupWidget()) {
                QTest::keyClick(menu, Qt::Key_Down);
                QTest::keyClick(menu, Qt::Key_Return);
            }
        });
        emit table->customContextMenuRequested(
            table->visualItemRect(table->item(pick(table->rowCount()), 0)).center());
        return reload ? "records reprint while the records reload" : "records reprint";
    }

    void shiftSummary()
    {
        trayEntry(3)->trigger();
        QTest::qWait(50);
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *shift = qobject_cast<ShiftWindow *>(window))
                shift->reject();
        }
    }

    // What the line does with a request: mostly passes it on; sometimes lets the service act and
    // then fails, cuts, delays or holds the answer past the time-out; sometimes answers itself.
    CaptureServer::Fate fate()
    {
        const auto instead = [](bool forward, int status, const QByteArray &body) {
            return CaptureServer::Fate{forward, 0, false, true, {status, body}};
        };
        const int roll = std::uniform_int_distribution<int>(0, 99)(m_LineRandom);
        return roll < 57   ? CaptureServer::Fate()
               : roll < 62 ? instead(true, 502, R"({"call":{"msg":"余额不足"}})")
               : roll < 67 ? CaptureServer::Fate{true, 200, true}
               : roll < 71 ? CaptureServer::Fate{true, TimeoutS * 1000 + 500}
               : roll < 79 ? CaptureServer::Fate{true, 200 + (roll - 71) * 160}
               : roll < 82 ? instead(false, 502, "<html><h1>502 Bad Gateway</h1></html>")
               : roll < 83 ? instead(false, 200, R"([{"call":{"msg":"支付成功"}}])")
               : roll < 85 ? instead(false, 200, R"({"call":{"msg":7,"out_trade_no":[1],"total_fee":1250}})")
               : roll < 97
                   ? instead(false, 200, R"({"call":{"msg":"系统繁忙，请稍后再试"}})")
                   : instead(false, 503, R"({"call":{"msg":"支付成功","out_trade_no":"1","total_fee":"1"}})");
    }

    bool fail(const QString &rule)
    {
        std::cerr << "seed " << m_Seed << ", step " << m_Step << ": " << qPrintable(rule) << "\nlast steps:\n"
                  << qPrintable(m_Steps.mid(m_Steps.size() - 30).join('\n')) << std::endl;
        return false;
    }

    int charged(const Customer &customer, const QString &condition)
    {
        return value("SELECT COUNT(*) FROM truth.orders WHERE code IN ('" + customer.codes.join("','") +
                     "') AND " + condition)
            .toInt();
    }

    // The rules a shop cares about, against the service's database, the till's journal and what
    // went over the line.
    bool check(bool settled)
    {
        QStringList taken, refunds; // codes the service charged or may have; refund amounts sent
        QVector<bool> tookPayment;  // by pay request, as the sales' journal rows are written
        int refunded = 0;           // refund successes that arrived
        for (const CaptureServer::Request &request : m_Line.requests()) {
            const QUrlQuery form(request.body);
            const QString code = form.queryItemValue("codes");
            const QJsonObject call = QJsonDocument::fromJson(request.answer)["call"].toObject();
            const QString msg = call["msg"].toString();
            const CaptureServer::Fate &fate = request.fate;
            const bool arrived =
                fate.forward && !fate.replaced && !fate.cut && fate.delayMs < TimeoutS * 1000;
            if (taken.contains(code))
                return fail("a payment code sent again after the service took it: " + code);
            if (!code.isEmpty() && fate.forward &&
                (msg == "支付成功" || msg == "等待用户验证密码" || msg.isEmpty()))
                taken << code;
            if (!code.isEmpty()) {
                m_Sent << code;
                tookPayment << taken.contains(code);
            }
            if (form.hasQueryItem("refmoney"))
                refunds << form.queryItemValue("refmoney");
            if (msg.startsWith("退款金额超过可退金额"))
                return fail("a refund of more than the window could know was left: " + request.body);
            refunded += arrived && msg == "退款成功";
            if (settled && arrived && msg == "支付成功" && !code.isEmpty() &&
                value("SELECT outcome FROM entries WHERE kind = 'sale' AND trade_no = '" +
                      call["out_trade_no"].toString() + "'") != "paid")
                return fail("a payment whose answer arrived is not paid in the journal: " + request.answer);
        }
        // Each refund sent follows a click or key of its own, with the amount on screen then.
        for (int asked = 0, sent = 0; sent < refunds.size(); ++asked) {
            if (asked == m_Asked.size())
                return fail(QString("%1 refunds sent for %2 asked").arg(refunds.size()).arg(m_Asked.size()));
            sent += refunds[sent] == m_Asked[asked];
        }
        // Only the last customers can change, until the day settles.
        for (int i = settled ? 0 : qMax(0, m_Customers.size() - 3); i < m_Customers.size(); ++i) {
            if (charged(m_Customers[i], Charged) > 1)
                return fail("a customer charged twice: " + m_Customers[i].codes.join(' '));
        }
        Customer &customer = m_Customers.last();
        if (status().startsWith("支付成功") &&
            m_Sent.contains(customer.codes.value(customer.codes.size() - 1)) &&
            charged(customer, "paid_at IS NOT NULL") == 0)
            return fail("支付成功 on screen for a customer who has not paid");
        // What the cashier learns: a trade printed is paid; after an unknown outcome (on screen or
        // asked about) or a sale left while it waits, the service's records say whether the customer
        // has paid.
        for (; m_Seen < printed.size(); ++m_Seen) {
            const QString code =
                value("SELECT code FROM truth.orders WHERE paid_at IS NOT NULL AND out_trade_no = '" +
                      printed[m_Seen] + "'");
            if (code.isEmpty() || printed.count(printed[m_Seen]) > 1)
                return fail("a receipt printed twice, or for a trade not paid: " + printed[m_Seen]);
            for (Customer &someone : m_Customers)
                someone.done |= someone.codes.contains(code);
        }
        const bool unknownAsked = m_Boxes.messages.join('\n').contains("支付结果未知");
        m_Boxes.messages.clear();
        if (status() == Unknown || status() == "上一笔等待顾客确认，按F12查询" || unknownAsked)
            customer.done |= charged(customer, Charged) > 0;

        // The journal agrees with the service: paid is paid, a trade the service made never failed,
        // a paid row never changes, no whole code is kept; once settled, each paid sale was printed
        // once and each refund whose success arrived is there.
        QSqlQuery rows(QSqlDatabase::database("day"));
        rows.exec(
            "SELECT e.id, kind || ' ' || outcome || ' ' || trade_no || ' ' || fen, e.code, o.id, paid_at"
            " IS NOT NULL FROM entries e LEFT JOIN truth.orders o ON out_trade_no = trade_no ORDER BY e.id");
        for (int sale = 0; rows.next(); sale += rows.value(1).toString().startsWith("sale")) {
            const qint64 id = rows.value(0).toLongLong();
            const QString row = rows.value(1).toString();
            const bool known = !rows.value(3).isNull(), paid = rows.value(4).toBool();
            if (m_Sent.contains(rows.value(2).toString()))
                return fail("a whole payment code in the journal: " + row);
            if (m_PaidRows.value(id, row) != row)
                return fail("a paid journal row changed: " + m_PaidRows[id] + " to " + row);
            if (row.startsWith("sale paid"))
                m_PaidRows.insert(id, row);
            if ((row.startsWith("sale paid") && !paid) ||
                (row.startsWith("sale failed") && (known || tookPayment.value(sale))))
                return fail("the journal disagrees with the service: " + row);
            if (settled && row.startsWith("sale paid") && printed.count(row.section(' ', 2, 2)) != 1)
                return fail("a paid sale not printed once: " + row);
        }
        if (settled && value("SELECT COUNT(*) FROM entries WHERE outcome = 'refunded'").toInt() < refunded)
            return fail(QString("%1 refunds succeeded, fewer in the journal").arg(refunded));
        return true;
    }

    const quint32 m_Seed;
    std::mt19937 m_Random;
    std::mt19937 m_LineRandom;
    PaymentServer m_Service{{"--confirm-delay", "2", "--slow-reply", "1"}};
    CaptureServer m_Line;
    std::unique_ptr<Kesto> m_Hub;
    KestoWindow *m_Pay = nullptr;
    QButtonGroup *m_Keypad = nullptr;
    wxRefunds *m_Refund = nullptr;
    MessageCatcher m_Boxes;
    QVector<Customer> m_Customers;
    QSet<QString> m_Sent; // payment codes that went out
    QStringList m_Asked;  // the refund amount on screen at each click or key
    QHash<qint64, QString> m_PaidRows;
    QStringList m_Steps;
    int m_Step = 0;
    int m_Seen = 0;
    int m_Codes = 0;
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    initResources();
    QTranslator translator;
    applyLookAndFeel(app, translator);
    const QStringList args = app.arguments();
    const auto option = [&args](const QString &name, qint64 otherwise) {
        const int at = args.indexOf(name);
        return at > 0 && at + 1 < args.size() ? args[at + 1].toLongLong() : otherwise;
    };
    const qint64 minutes = option("--minutes", 0);
    const qint64 seed = option("--seed", minutes ? QDateTime::currentMSecsSinceEpoch() % 100000 : 0);
    for (const qint64 each : seed ? QVector<qint64>{seed} : CiSeeds) {
        std::cout << "seed " << each << std::endl;
        Day day{quint32(each)};
        if (!day.run(int(option("--steps", minutes ? INT_MAX : CiSteps)),
                     minutes ? QDeadlineTimer(minutes * 60000) : QDeadlineTimer(QDeadlineTimer::Forever)))
            return 1;
    }
    return 0;
}
