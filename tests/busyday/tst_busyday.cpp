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

#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableWidget>
#include <QtTest>

#include <functional>
#include <iostream>
#include <random>

// A day at the till at random: customers pay and come back for refunds, a cashier serves them
// through the real windows with the mistakes cashiers make, and the line to the real service loses,
// cuts, holds and invents answers. After every step the money must add up.
//   tst_busyday [--seed N] [--steps N] [--minutes N]

#define REAL_PRINT __real__Z16printSaleReceiptRK11QJsonObjectRK13SettingsStoreb
#define WRAP_PRINT __wrap__Z16printSaleReceiptRK11QJsonObjectRK13SettingsStoreb

namespace {

const QVector<qint64> CiSeeds{1, 2};
constexpr int CiSteps = 200;
constexpr int TimeoutS = 2;
const QString Unknown = "网络异常，支付结果未知，请在支付报表中核实";
const QString LeftWaiting = "上一笔等待顾客确认，按F12查询";

// Receipts printed per trade, counted at the program's own print function (linked wrapped): the
// till prints exactly when it learns that a trade was paid.
QHash<QString, int> printed;
QStringList printOrder;

struct Customer
{
    qint64 fen = 0;
    bool alipay = false;
    QStringList codes; // offered so far, the last in hand
    bool done = false;
    bool started = false; // the sale on screen is this customer's
};

QString value(const QString &connection, const QString &sql)
{
    QSqlQuery query(QSqlDatabase::database(connection));
    return query.exec(sql) && query.next() ? query.value(0).toString() : QString();
}

} // namespace

extern "C" ReceiptPrint REAL_PRINT(const QJsonObject &, const SettingsStore &, bool);
extern "C" ReceiptPrint WRAP_PRINT(const QJsonObject &call, const SettingsStore &config, bool reprint)
{
    if (!reprint) {
        printOrder << call.value("out_trade_no").toString();
        ++printed[printOrder.last()];
    }
    return REAL_PRINT(call, config, reprint);
}

class Day
{
public:
    explicit Day(quint32 seed) : m_Seed(seed), m_Random(seed), m_LineRandom(seed + 1)
    {
        for (const QString &suffix : {"", "-wal", "-shm"})
            QFile::remove(SalesJournal::defaultPath() + suffix);
        printed.clear();
        printOrder.clear();
        m_Line.forwardTo(m_Service.port());
        m_Line.setLine([this](const CaptureServer::Request &) { return fate(); });
        rememberAccount(m_Line.url(""), {{"printname", ""},
                                         {"paykey", ""},
                                         {"refundkey", ""},
                                         {"timeout", QString::number(TimeoutS)},
                                         {"autoquery", ""},
                                         {"autoqueryinterval", "1"},
                                         {"autoquerylimit", "3"}});
        m_Hub = std::make_unique<Kesto>();
        for (QWidget *window : QApplication::topLevelWidgets()) {
            m_Pay = m_Pay ? m_Pay : qobject_cast<KestoWindow *>(window);
            m_Refund = m_Refund ? m_Refund : qobject_cast<wxRefunds *>(window);
        }
        for (const char *name : {"truth", "journal"}) {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
            db.setDatabaseName(name == QString("truth") ? m_Service.databasePath()
                                                        : SalesJournal::defaultPath());
            db.setConnectOptions("QSQLITE_OPEN_READONLY");
        }
        arrive();
    }

    ~Day()
    {
        for (const char *name : {"truth", "journal"})
            QSqlDatabase::removeDatabase(name);
    }

    // Steps until `steps` are done or the time is up; false on a broken rule, said on standard error.
    bool run(int steps, const QDeadlineTimer &until)
    {
        for (m_Step = 1; m_Step <= steps && !until.hasExpired(); ++m_Step) {
            m_Boxes.answer = chance(70) ? QMessageBox::Yes : QMessageBox::No;
            const QString done = act();
            m_Steps << QString("%1 %2 | %3%4")
                           .arg(m_Step)
                           .arg(done, status(), m_Pay->isVisible() ? "" : " (hidden)");
            if (!check(false))
                return false;
        }
        // Settled: every answer in or timed out, every waiting trade confirmed or given up.
        QTest::qWait(TimeoutS * 1000 + 4000);
        m_Steps << "settled | " + status();
        std::cout << "served " << m_Customers.size() << " customers in " << m_Step - 1 << " steps, "
                  << m_Line.requests().size() << " requests" << std::endl;
        return check(true);
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_Random); }
    bool chance(int percent) { return pick(100) < percent; }
    template <typename T> T *pay(const char *name) { return m_Pay->findChild<T *>(name); }
    template <typename T> T *refund(const char *name) { return m_Refund->findChild<T *>(name); }
    QString status() { return pay<QLabel>("Tip_Status")->text(); }
    QLineEdit *codes() { return pay<QLineEdit>("m_Codes"); }
    QAction *trayEntry(int index) { return m_Hub->findChild<QMenu *>("m_TrayMenu")->actions().value(index); }
    void hotkey(int index)
    {
        QMetaObject::invokeMethod(m_Hub->findChildren<MyGlobalShortCut *>().value(index), "activated");
    }
    // Where the cashier's keys go once the window is in front: its focus.
    QWidget *keysTo(QWidget *window)
    {
        QApplication::setActiveWindow(window);
        return window->focusWidget() ? window->focusWidget() : window;
    }
    void type(QWidget *target, const QString &text) { QTest::keyClicks(target, text, Qt::NoModifier, 2); }

    void arrive()
    {
        Customer customer;
        customer.fen = 1 + pick(chance(20) ? 100 : 50000);
        customer.alipay = chance(50);
        m_Customers << customer;
    }

    // A code in the customer's hand: a fresh one once the last has been sent and the till asks for
    // another; its last digits pick what the service does with it.
    QString code(Customer &customer, bool fresh)
    {
        if (!customer.codes.isEmpty() && !fresh)
            return customer.codes.last();
        static const char *endings[] = {"0000", "7777", "8888", "9999", "1234", "5678", "4321"};
        customer.codes << QString("%1%2%3")
                              .arg(customer.alipay ? 28 : 13)
                              .arg(++m_Codes * 1000 + pick(1000), 12, 10, QChar('0'))
                              .arg(endings[pick(7)]);
        return customer.codes.last();
    }
    bool sent(const QString &code)
    {
        for (const CaptureServer::Request &request : m_Line.requests())
            if (request.body.contains("codes=" + code.toUtf8()))
                return true;
        return false;
    }

    // What the line does with each request: mostly passes it, sometimes lets the service act and
    // loses or garbles its answer, sometimes answers itself.
    CaptureServer::Fate fate()
    {
        const int roll = std::uniform_int_distribution<int>(0, 99)(m_LineRandom);
        const auto instead = [](bool forward, int status, const QByteArray &body) {
            return CaptureServer::Fate{forward, 0, false, true, {status, body, "application/json"}};
        };
        if (roll < 62)
            return {};
        if (roll < 68)
            return instead(true, 502, R"({"call":{"msg":"余额不足"}})");
        if (roll < 74)
            return {true, 200, true};
        if (roll < 78)
            return {true, TimeoutS * 1000 + 500};
        if (roll < 86)
            return {true, 200 + std::uniform_int_distribution<int>(0, 1300)(m_LineRandom)};
        if (roll < 90)
            return instead(false, 502, "<html><h1>502 Bad Gateway</h1></html>");
        if (roll < 93)
            return instead(false, 200, R"([{"call":{"msg":"支付成功"}}])");
        if (roll < 97)
            return instead(false, 200, R"({"call":{"msg":"系统繁忙，请稍后再试"}})");
        return instead(false, 503, R"({"call":{"msg":"支付成功","out_trade_no":"1","total_fee":"1"}})");
    }

    // One thing the cashier does, picked among what can be done at this moment.
    QString act()
    {
        Customer &customer = m_Customers.last();
        const bool payShown = m_Pay->isVisible(), codeEntry = payShown && codes()->isVisible();
        const bool refundShown = m_Refund->isVisible(), orderShown = refundShown && m_Refund->height() == 411;
        std::vector<std::pair<int, std::function<QString()>>> actions{
            {payShown ? 1 : 8,
             [&] {
                 chance(50) ? trayEntry(0)->trigger() : hotkey(0);
                 return QString("pay window");
             }},
            {payShown ? (codeEntry ? 1 : 12) : 0, [&] { return sale(); }},
            {payShown ? (!codeEntry              ? 1
                         : codes()->isReadOnly() ? 2
                                                 : 12)
                      : 0,
             [&] {
                 if (customer.done) {
                     arrive();
                     return QString("next customer");
                 }
                 const bool fresh = !codes()->isReadOnly() && sent(code(customer, false));
                 const QString scanned = code(customer, fresh);
                 customer.started |= codeEntry;
                 type(keysTo(m_Pay), scanned);
                 return "scan " + scanned;
             }},
            {codeEntry ? 3 : payShown,
             [&] {
                 QTest::keyClick(keysTo(m_Pay), Qt::Key_F12);
                 return QString("F12");
             }},
            {status() == Unknown ? 8
             : codeEntry         ? 3
                                 : payShown,
             [&] {
                 const bool button = pay<QPushButton>("m_CancelPay")->isVisible() && chance(50);
                 button ? QTest::mouseClick(pay<QPushButton>("m_CancelPay"), Qt::LeftButton)
                        : QTest::keyClick(keysTo(m_Pay), Qt::Key_Escape);
                 return QString(button ? "取消支付" : "Escape");
             }},
            {payShown || refundShown,
             [&] {
                 const bool atRefund = refundShown && (!payShown || chance(50));
                 if (atRefund)
                     m_Asked << refund<QLineEdit>("m_refund")->text();
                 QTest::keyClick(keysTo(atRefund ? static_cast<QWidget *>(m_Refund) : m_Pay), Qt::Key_Return);
                 return QString(atRefund ? "Return at the refund window" : "Return at the pay window");
             }},
            {codeEntry && codes()->isReadOnly() ? 8 : 2,
             [&] {
                 const int ms = 100 + pick(1400);
                 QTest::qWait(ms);
                 return QString("wait %1 ms").arg(ms);
             }},
            {payShown,
             [&] {
                 QTest::keyClick(keysTo(m_Pay), Qt::Key_P, Qt::ControlModifier);
                 return QString("Ctrl+P");
             }},
            {refundShown ? 2 : 3,
             [&] {
                 chance(50) ? trayEntry(1)->trigger() : hotkey(1);
                 return QString("refund window");
             }},
            {refundShown ? 3 : 0, [&] { return refundScan(); }},
            {orderShown ? 4 : 0, [&] { return refundAmount(); }},
            {refundShown ? 1 : 0,
             [&] {
                 m_Asked << refund<QLineEdit>("m_refund")->text();
                 QTest::mouseClick(refund<QPushButton>("Button_Save"), Qt::LeftButton);
                 return "second click " + m_Asked.last();
             }},
            {1,
             [&] {
                 trayEntry(2)->trigger();
                 return QString("records");
             }},
            {m_Hub->isVisible(), [&] { return recordsReprint(); }},
            {1,
             [&] {
                 trayEntry(3)->trigger();
                 QTest::qWait(50);
                 for (QWidget *window : QApplication::topLevelWidgets())
                     if (auto *shift = qobject_cast<ShiftWindow *>(window))
                         shift->reject();
                 return QString("shift summary");
             }},
        };
        int total = 0;
        for (const auto &action : actions)
            total += action.first;
        int roll = pick(total);
        for (const auto &action : actions) {
            if ((roll -= action.first) < 0)
                return action.second();
        }
        return QString();
    }

    // The amount on the keypad or keys, the channel by tile or key, then Return or 确认; sometimes
    // an amount the till must refuse.
    QString sale()
    {
        if (m_Customers.last().done && status() != Unknown)
            arrive();
        const Customer &customer = m_Customers.last();
        const bool alipay = chance(85) == customer.alipay;
        if (chance(50))
            QTest::mouseClick(pay<QPushButton>(alipay ? "Tab_Ali" : "Tab_wx"), Qt::LeftButton);
        else
            QTest::keyClick(keysTo(m_Pay), alipay ? Qt::Key_S : Qt::Key_W, Qt::ControlModifier);
        static const QStringList wrong{"1.234", "0.001", "12..5", "", "abc"};
        const QString amount = chance(90) ? yuanFromFen(customer.fen) : wrong[pick(wrong.size())];
        QLineEdit *money = pay<QLineEdit>("m_Money");
        if (money->isEnabled())
            money->clear();
        if (chance(50) && !amount.contains('a')) {
            static const char *keys[] = {"m_ButtonZero",  "m_ButtonOne",  "m_ButtonTwo", "m_ButtonThree",
                                         "m_ButtonFour",  "m_ButtonFive", "m_ButtonSix", "m_ButtonSeven",
                                         "m_ButtonEight", "m_ButtonNine"};
            for (const QChar key : amount)
                QTest::mouseClick(pay<QPushButton>(key == '.' ? "m_ButtonPoint" : keys[key.digitValue()]),
                                  Qt::LeftButton);
        } else {
            type(money, amount);
        }
        chance(50) || !pay<QPushButton>("m_Pay")->isVisible()
            ? QTest::keyClick(keysTo(m_Pay), Qt::Key_Return)
            : QTest::mouseClick(pay<QPushButton>("m_Pay"), Qt::LeftButton);
        return QString("amount %1 %2").arg(amount, alipay ? "Alipay" : "WeChat Pay");
    }

    // An order number from a receipt: a paid trade, the one on screen, or one that does not exist.
    QString refundScan()
    {
        QLineEdit *field = refund<QLineEdit>("m_Codes");
        const QString number =
            chance(10) ? "999999999999999999"
            : chance(25) && !field->text().isEmpty()
                ? field->text()
                : value("truth", QString("SELECT out_trade_no FROM orders WHERE paid_at IS NOT NULL"
                                         " OR confirm_at IS NOT NULL ORDER BY id LIMIT 1 OFFSET %1")
                                     .arg(pick(value("truth", "SELECT COUNT(*) FROM orders").toInt())));
        keysTo(m_Refund);
        field->setFocus();
        field->selectAll();
        type(field, number);
        return "refund scan " + number;
    }

    // All that the window offers, a part, or more than is left, then a click or Return.
    QString refundAmount()
    {
        QLineEdit *amount = refund<QLineEdit>("m_refund");
        const qint64 left = fenFromYuan(amount->text()).value_or(1);
        const int kind = pick(3);
        amount->setText(yuanFromFen(kind == 0   ? left
                                    : kind == 1 ? 1 + pick(int(left))
                                                : left + 1 + pick(100)));
        m_Asked << amount->text();
        const bool key = chance(30);
        key ? QTest::keyClick(keysTo(m_Refund), Qt::Key_Return)
            : QTest::mouseClick(refund<QPushButton>("Button_Save"), Qt::LeftButton);
        return QString("refund %1 by %2").arg(amount->text(), key ? "Return" : "click");
    }

    // The row menu's 补打小票, sometimes while the records are asked for again and answer meanwhile.
    QString recordsReprint()
    {
        auto *table = m_Hub->findChild<QTableWidget *>("m_Orders");
        if (table->rowCount() == 0)
            return QString("no record to reprint");
        const bool reload = chance(50);
        QTimer::singleShot(100, [this, reload] {
            if (reload) {
                m_Hub->findChild<QAction *>("m_QueryAction")->trigger();
                QTest::qWait(400);
            }
            if (QWidget *menu = QApplication::activePopupWidget()) {
                QTest::keyClick(menu, Qt::Key_Down);
                QTest::keyClick(menu, Qt::Key_Return);
            }
        });
        const QRect row = table->visualItemRect(table->item(pick(table->rowCount()), 0));
        QContextMenuEvent event(QContextMenuEvent::Mouse, row.center(),
                                table->viewport()->mapToGlobal(row.center()));
        QApplication::sendEvent(table->viewport(), &event);
        return QString("records reprint%1").arg(reload ? " while the records reload" : "");
    }

    bool fail(const QString &rule)
    {
        std::cerr << "seed " << m_Seed << ", step " << m_Step << ": " << qPrintable(rule)
                  << "\nlast steps:\n";
        for (const QString &step : m_Steps.mid(m_Steps.size() - 30))
            std::cerr << "  " << qPrintable(step) << '\n';
        std::cerr << "last requests (forwarded, delay, cut, replaced):\n";
        for (const CaptureServer::Request &request : m_Line.requests().mid(m_Line.requests().size() - 8)) {
            const CaptureServer::Fate &fate = request.fate;
            std::cerr << "  " << qPrintable(request.path.section('/', -1)) << ' ' << fate.forward << ' '
                      << fate.delayMs << ' ' << fate.cut << ' ' << fate.replaced << ' '
                      << request.body.mid(28).constData() << '\n';
        }
        return false;
    }

    // The rules a shop cares about, against the service's database and the till's journal.
    bool check(bool settled)
    {
        QStringList sentCodes;
        QVector<CaptureServer::Request> refunds;
        QStringList taken; // codes the service has charged or may have
        for (const CaptureServer::Request &request : m_Line.requests()) {
            const QString code = QUrlQuery(request.body).queryItemValue("codes");
            if (!code.isEmpty() && taken.contains(code))
                return fail("a payment code sent again after the service took it: " + code);
            const QString msg =
                QJsonDocument::fromJson(request.answer).object().value("call")["msg"].toString();
            if (!code.isEmpty() && request.fate.forward &&
                (msg == "支付成功" || msg == "等待用户验证密码" || msg.isEmpty()))
                taken << code;
            if (!code.isEmpty())
                sentCodes << code;
            if (request.path.endsWith("refunds") || request.path.endsWith("refunding"))
                refunds << request;
            if (request.answer.contains("退款金额超过可退金额"))
                return fail("a refund of more than the window knew was left: " + request.body);
        }
        // Each refund sent follows its own click or key, with the amount that was on screen.
        for (int asked = 0, sentRefund = 0; sentRefund < refunds.size(); ++asked) {
            if (asked == m_Asked.size())
                return fail(QString("%1 refunds sent for %2 asked").arg(refunds.size()).arg(m_Asked.size()));
            if (QUrlQuery(refunds[sentRefund].body).queryItemValue("refmoney") == m_Asked[asked])
                ++sentRefund;
        }
        // Only the last customers can change, until the day settles.
        for (int i = settled ? 0 : qMax(0, m_Customers.size() - 3); i < m_Customers.size(); ++i) {
            if (charged(m_Customers[i], "paid_at IS NOT NULL OR confirm_at IS NOT NULL") > 1)
                return fail("a customer charged twice: " + m_Customers[i].codes.join(' '));
        }
        Customer &customer = m_Customers.last();
        if (customer.started && status().startsWith("支付成功") &&
            charged(customer, "paid_at IS NOT NULL") == 0)
            return fail("支付成功 on screen for a customer who has not paid");
        // The cashier reads the screen: a trade printed is paid; after an unknown outcome or a sale
        // left while it waits, the service's records say whether the customer has paid.
        for (; m_Seen < printOrder.size(); ++m_Seen) {
            const QString trade = printOrder[m_Seen];
            const QString code =
                value("truth",
                      "SELECT code FROM orders WHERE paid_at IS NOT NULL AND out_trade_no = '" + trade + "'");
            if (printed[trade] > 1 || code.isEmpty())
                return fail(QString("trade %1 printed %2 times, paid: %3")
                                .arg(trade)
                                .arg(printed[trade])
                                .arg(!code.isEmpty()));
            for (Customer &someone : m_Customers)
                someone.done |= someone.codes.contains(code);
        }
        if (customer.started && (status() == Unknown || status() == LeftWaiting))
            customer.done |= charged(customer, "paid_at IS NOT NULL OR confirm_at IS NOT NULL") > 0;
        if (status() == LeftWaiting || status().startsWith("支付成功"))
            customer.started = false;
        return journalAgrees(settled, sentCodes);
    }

    // The customer's orders at the service that are as the condition says.
    int charged(const Customer &customer, const QString &condition)
    {
        return value("truth", "SELECT COUNT(*) FROM orders WHERE code IN ('" + customer.codes.join("','") +
                                  "') AND (" + condition + ")")
            .toInt();
    }

    // The journal agrees with the service: paid is paid, a trade the service made never failed, a
    // paid row never changes, no whole code is kept; once settled, every answer that arrived is in it.
    bool journalAgrees(bool settled, const QStringList &sentCodes)
    {
        QSqlDatabase journal = QSqlDatabase::database("journal", false);
        if (!journal.isOpen() && (!QFile::exists(journal.databaseName()) || !journal.open()))
            return true;
        QSqlQuery rows(journal);
        rows.exec("SELECT id, kind, outcome, trade_no, fen, code FROM entries");
        while (rows.next()) {
            const QString row = QStringList{rows.value(1).toString(), rows.value(2).toString(),
                                            rows.value(3).toString(), rows.value(4).toString()}
                                    .join(' ');
            const qint64 id = rows.value(0).toLongLong();
            if (sentCodes.contains(rows.value(5).toString()))
                return fail("a whole payment code in the journal: " + row);
            if (m_PaidRows.contains(id) && m_PaidRows[id] != row)
                return fail("a paid journal row changed: " + m_PaidRows[id] + " -> " + row);
            if (row.startsWith("sale paid"))
                m_PaidRows.insert(id, row);
            if (settled && row.startsWith("sale paid") && printed.value(rows.value(3).toString()) != 1)
                return fail("a paid sale not printed once: " + row);
            const QString truth =
                value("truth", "SELECT paid_at IS NOT NULL FROM orders WHERE out_trade_no = '" +
                                   rows.value(3).toString() + "'");
            if ((row.startsWith("sale paid") && truth != "1") ||
                (row.startsWith("sale failed") && !truth.isEmpty()))
                return fail("the journal says " + row + ", the service " +
                            (truth.isEmpty() ? "nothing" : truth));
        }
        if (!settled)
            return true;
        int refunded = 0;
        for (const CaptureServer::Request &request : m_Line.requests()) {
            const CaptureServer::Fate &fate = request.fate;
            if (!fate.forward || fate.replaced || fate.cut || fate.delayMs >= TimeoutS * 1000)
                continue;
            const QJsonObject call =
                QJsonDocument::fromJson(request.answer).object().value("call").toObject();
            const QString msg = call.value("msg").toString();
            refunded += msg == "退款成功";
            if (msg == "支付成功" && request.body.contains("codes=") &&
                value("journal", "SELECT COUNT(*) FROM entries WHERE outcome = 'paid' AND trade_no = '" +
                                     call.value("out_trade_no").toString() + "'") != "1")
                return fail("a payment whose answer arrived is not paid in the journal: " + request.answer);
        }
        if (value("journal", "SELECT COUNT(*) FROM entries WHERE outcome = 'refunded'").toInt() < refunded)
            return fail(QString("%1 refunds answered, fewer in the journal").arg(refunded));
        return true;
    }

    quint32 m_Seed = 0;
    std::mt19937 m_Random;
    std::mt19937 m_LineRandom;
    PaymentServer m_Service{{"--confirm-delay", "1", "--slow-reply", "1"}};
    CaptureServer m_Line;
    std::unique_ptr<Kesto> m_Hub;
    KestoWindow *m_Pay = nullptr;
    wxRefunds *m_Refund = nullptr;
    MessageCatcher m_Boxes;
    QVector<Customer> m_Customers;
    QStringList m_Steps;
    QStringList m_Asked; // refund amounts on screen at each click or key
    QHash<qint64, QString> m_PaidRows;
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
    // Without a seed: the fixed ones, or a new one for a longer run.
    const qint64 minutes = option("--minutes", 0);
    QVector<qint64> seeds{option("--seed", minutes ? QDateTime::currentMSecsSinceEpoch() % 100000 : 0)};
    if (seeds[0] == 0)
        seeds = CiSeeds;
    for (const qint64 seed : seeds) {
        std::cout << "seed " << seed << std::endl;
        Day day{quint32(seed)};
        if (!day.run(int(option("--steps", minutes ? 1 << 30 : CiSteps)),
                     minutes ? QDeadlineTimer(minutes * 60000) : QDeadlineTimer(QDeadlineTimer::Forever)))
            return 1;
    }
    return 0;
}
