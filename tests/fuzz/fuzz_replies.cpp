// Every reply of the service as the client takes it; the first byte picks the slot ('0' to '7' in the
// seeds): sign-in, device list, records page, version check, a sale's payment and F12's query (each
// again as a late reply), the lookup of a scanned order, and a refund's reply, twice.

#include "account.h"
#include "mainwindow/kesto.h"
#include "mainwindow/updatecheck.h"
#include "payment/kestowindow.h"
#include "refund/wxrefunds.h"
#include "service/wxnetwork.h"
#include "shell/apppaths.h"
#include "signin/wxsignin.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QJsonDocument>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <sanitizer/lsan_interface.h>

namespace {

// A scheme nothing handles: every request fails at once, inside the process.
const QString NoService = QStringLiteral("kesto-fuzz://no-service");
int argc = 1;
char *argv[] = {const_cast<char *>("kesto-fuzz"), nullptr};
WxNetwork *probe = nullptr;
WxSignin *signin = nullptr, *devices = nullptr;
Kesto *records = nullptr;
KestoWindow *till = nullptr;
wxRefunds *refunds = nullptr;

[[noreturn]] void fail(const char *what)
{
    fprintf(stderr, "fuzz harness: %s\n", what);
    abort();
}

void invoke(QObject *window, const char *slot, QGenericArgument a = {}, QGenericArgument b = {})
{
    if (!QMetaObject::invokeMethod(window, slot, Qt::DirectConnection, a, b))
        fail(slot);
}

// The id of the one request the action sent, or 0 for none: ids count up across the program, so a
// request of the probe before and after the action tells.
quint64 requestOf(const std::function<void()> &action)
{
    const quint64 before = probe->sendTo(NoService, QString());
    action();
    const quint64 after = probe->sendTo(NoService, QString());
    if (after > before + 2)
        fail("the action sent more than one request");
    return after == before + 2 ? before + 1 : 0;
}

// Types the text into an emptied field of the window; the id of the request it must send.
quint64 type(QWidget *window, const char *field, const QString &text)
{
    auto *edit = window->findChild<QLineEdit *>(field);
    edit->clear();
    const quint64 id = requestOf([&] { edit->setText(text); });
    return id ? id : (fail(field), 0);
}

QJsonObject json(const QString &text)
{
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

// The lookup's answer for an order of 12.50.
QJsonObject order(const QString &number, const QString &channel)
{
    return json(
        QStringLiteral(R"({"call":{"msg":"查询成功","out_trade_no":"%1","total_fee":"1250","refunds":"0",
        "device_info":"前台","transaction_id":"4200000001","payt":"%2","time_end":"20240305142233"}})")
            .arg(number, channel));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Warnings about odd replies would fill the log at thousands of runs a second.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    new QApplication(argc, argv);
    // The demo account, no printer, and a service that no request leaves the process for.
    QFile::remove(AppPaths::configFile());
    rememberAccount(NoService, {{"jm_userid", "10001"}});
    // The windows wait in QMessageBox::exec; outside settling, only a modal box runs an event loop.
    // A question is answered yes, so that the next input finds the window ready.
    auto *closer = new QTimer(qApp);
    QObject::connect(closer, &QTimer::timeout, [] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        auto *box = qobject_cast<QMessageBox *>(dialog);
        if (box && box->button(QMessageBox::Yes))
            box->button(QMessageBox::Yes)->click();
        else if (dialog)
            dialog->done(QDialog::Rejected);
    });
    closer->start(0);
    probe = new WxNetwork;
    (signin = new WxSignin)->shows(true, true);
    (devices = new WxSignin)->shows(false, false);
    for (WxSignin *window : {signin, devices}) {
        window->findChild<QLineEdit *>("m_Username")->setText("demo");
        window->findChild<QLineEdit *>("m_Password")->setText("demo123");
    }
    (records = new Kesto)->show();
    (till = new KestoWindow)->show();
    (refunds = new wxRefunds)->ShowDialog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Qt 5.15's parser loses the earlier value of a repeated key when that value is an object or
    // an array; what it allocates is not the client's to report.
    __lsan_disable();
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char *>(data), int(size)).mid(1));
    __lsan_enable();
    if (!document.isObject())
        return 0;
    const QJsonObject reply = document.object();
    const int slot = data[0] % 8;
    const QString code = QStringLiteral("100000000000000001");
    if (slot == 0) {
        invoke(signin, "readLogin", Q_ARG(QJsonObject, reply));
    } else if (slot == 1) {
        invoke(devices, "getDevices", Q_ARG(QJsonObject, reply));
    } else if (slot == 2) {
        invoke(records, "readNetLists", Q_ARG(QJsonObject, reply));
    } else if (slot == 3) {
        clientOutdated(reply);
    } else if (slot <= 5) {
        invoke(till, "Paybakc");
        till->findChild<QLineEdit *>("m_Money")->setText("12.5");
        invoke(till, "Pay");
        quint64 id = type(till, "m_Codes", "134567890123450000");
        if (slot == 5) {
            const QJsonObject waits = json(
                R"({"call":{"msg":"等待用户验证密码","out_trade_no":"100000000000000001","payt":"Kesto"}})");
            invoke(till, "Payed", Q_ARG(quint64, id), Q_ARG(QJsonObject, waits));
            if ((id = requestOf([] { invoke(till, "PayQuery"); })) == 0)
                fail("F12 sent no query");
        }
        invoke(till, "Payed", Q_ARG(quint64, id), Q_ARG(QJsonObject, reply));
        invoke(till, "Payed", Q_ARG(quint64, id), Q_ARG(QJsonObject, reply));
    } else if (slot == 6) {
        refunds->GetOrders(type(refunds, "m_Codes", code), reply);
        // A refund still out would turn every later one away.
        if (const quint64 refund = requestOf([] { refunds->Refunding(); }))
            refunds->GetRefunds(refund, json(R"({"call":{"msg":"退款成功"}})"));
    } else {
        const QString channel = size % 2 ? "AliPay" : "Kesto", other = QStringLiteral("100000000000000002");
        refunds->GetOrders(type(refunds, "m_Codes", code), order(code, channel));
        const quint64 refund = requestOf([] { refunds->Refunding(); });
        if (refund == 0)
            fail("the looked-up order was not refunded");
        if (size / 2 % 2)
            refunds->GetOrders(type(refunds, "m_Codes", other), order(other, channel));
        refunds->GetRefunds(refund, reply);
        refunds->GetRefunds(refund, reply);
    }
    // Lets the requests sent so far fail and deleted objects go, as the event loop would.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
