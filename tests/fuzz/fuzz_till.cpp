// The pay window's replies (KestoWindow::Payed). Built twice: as fuzz_pay the input answers the
// payment of the sale on screen; as fuzz_query (QUERY_REPLY) it answers F12's query about a sale
// that waits for the customer. Either way the same answer then comes a second time, now about no
// sale on screen, as a late or repeated reply does.

#include "fuzzclient.h"
#include "payment/kestowindow.h"

#include <QLineEdit>

namespace {

KestoWindow *till = nullptr;

// A fresh sale of 12.50 up to the scan; the id of its payment.
quint64 scanSale()
{
    FuzzClient::invoke(till, "Paybakc");
    till->findChild<QLineEdit *>(QStringLiteral("m_Money"))->setText(QStringLiteral("12.5"));
    FuzzClient::invoke(till, "Pay");
    const quint64 id = FuzzClient::requestOf([] {
        till->findChild<QLineEdit *>(QStringLiteral("m_Codes"))
            ->setText(QStringLiteral("134567890123450000"));
    });
    if (id == 0)
        FuzzClient::fail("the scan sent no payment");
    return id;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzClient::start();
    till = new KestoWindow;
    till->show();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto reply = FuzzClient::reply(data, size);
    if (!reply)
        return 0;
    quint64 id = scanSale();
#ifdef QUERY_REPLY
    const QJsonObject waiting{
        {QStringLiteral("call"),
         QJsonObject{{QStringLiteral("msg"), QStringLiteral("等待用户验证密码")},
                     {QStringLiteral("out_trade_no"), QStringLiteral("100000000000000001")},
                     {QStringLiteral("payt"), QStringLiteral("Kesto")}}}};
    FuzzClient::deliver(till, "Payed", id, waiting);
    id = FuzzClient::requestOf([] { FuzzClient::invoke(till, "PayQuery"); });
    if (id == 0)
        FuzzClient::fail("F12 sent no query");
#endif
    FuzzClient::deliver(till, "Payed", id, *reply);
    FuzzClient::deliver(till, "Payed", id, *reply);
    FuzzClient::settle();
    return 0;
}
