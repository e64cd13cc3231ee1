// The refund window's replies. Built twice: as fuzz_lookup the input answers the lookup of a
// scanned order (wxRefunds::GetOrders), and the order it describes is then refunded as shown;
// as fuzz_refund (REFUND_REPLY) it answers the refund of a looked-up order (GetRefunds), on
// either channel, with the order still on screen or replaced by another, and then once more.

#include "fuzzclient.h"
#include "refund/wxrefunds.h"

#include <QLineEdit>

namespace {

wxRefunds *window = nullptr;

// Scans an order number; the id of its lookup.
quint64 scan(const QString &code)
{
    auto *codes = window->findChild<QLineEdit *>(QStringLiteral("m_Codes"));
    codes->clear();
    const quint64 id = FuzzClient::requestOf([&] { codes->setText(code); });
    if (id == 0)
        FuzzClient::fail("the scan sent no lookup");
    return id;
}

#ifdef REFUND_REPLY
QJsonObject order(const QString &number, const QString &channel)
{
    return {{QStringLiteral("call"),
             QJsonObject{{QStringLiteral("msg"), QStringLiteral("查询成功")},
                         {QStringLiteral("out_trade_no"), number},
                         {QStringLiteral("total_fee"), QStringLiteral("1250")},
                         {QStringLiteral("refunds"), QStringLiteral("0")},
                         {QStringLiteral("device_info"), QStringLiteral("前台")},
                         {QStringLiteral("transaction_id"), QStringLiteral("4200000001")},
                         {QStringLiteral("payt"), channel},
                         {QStringLiteral("time_end"), QStringLiteral("20240305142233")}}}};
}
#endif

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzClient::start();
    window = new wxRefunds;
    window->ShowDialog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto reply = FuzzClient::reply(data, size);
    if (!reply)
        return 0;
    const QString code = QStringLiteral("100000000000000001");
#ifdef REFUND_REPLY
    // The input's length chooses the channel and whether another order replaces this one.
    const QString channel = size % 2 ? QStringLiteral("AliPay") : QStringLiteral("Kesto");
    window->GetOrders(scan(code), order(code, channel));
    const quint64 refund = FuzzClient::requestOf([] { window->Refunding(); });
    if (refund == 0)
        FuzzClient::fail("the looked-up order was not refunded");
    if (size / 2 % 2) {
        const QString other = QStringLiteral("100000000000000002");
        window->GetOrders(scan(other), order(other, channel));
    }
    window->GetRefunds(refund, *reply);
    window->GetRefunds(refund, *reply);
#else
    window->GetOrders(scan(code), *reply);
    // A refund still out would turn every later one away.
    const quint64 refund = FuzzClient::requestOf([] { window->Refunding(); });
    if (refund != 0)
        window->GetRefunds(refund,
                           QJsonObject{{QStringLiteral("call"),
                                        QJsonObject{{QStringLiteral("msg"), QStringLiteral("退款成功")}}}});
#endif
    FuzzClient::settle();
    return 0;
}
