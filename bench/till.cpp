// Sales through the real pay window: the amount typed and accepted, the payment code typed in as
// a scanner does, and the window's own answer on screen.

#include "bench.h"

#include "payment/kestowindow.h"
#include "service/formbody.h"
#include "service/servicepaths.h"
#include "service/serviceurl.h"
#include "service/wxnetwork.h"
#include "shell/settingsstore.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

const QString PaidReady = QStringLiteral("支付成功，软件准备就绪...");
const QString Paying = QStringLiteral("支付中...");
const QString Amount = QStringLiteral("12.34");

class Till
{
public:
    Till()
    {
        m_Window.show();
        QApplication::setActiveWindow(&m_Window);
        m_Money = m_Window.findChild<QLineEdit *>(QStringLiteral("m_Money"));
        m_Codes = m_Window.findChild<QLineEdit *>(QStringLiteral("m_Codes"));
        m_Status = m_Window.findChild<QLabel *>(QStringLiteral("Tip_Status"));
    }

    QString status() const { return m_Status->text(); }

    // One sale; the moments of the eighteenth character and of the paid status, nothing for a sale
    // that did not end paid.
    std::optional<QPair<double, double>> sell(const QString &code)
    {
        QTest::keyClicks(m_Money, Amount);
        QTest::keyClick(m_Money, Qt::Key_Return);
        if (m_Codes->isHidden())
            return std::nullopt;
        QTest::keyClicks(m_Codes, code.left(17));
        const double scanned = nowMs();
        QTest::keyClick(m_Codes, code.at(17).toLatin1());
        const auto answered = BenchApplication::waitFor([this] { return status() != Paying; });
        if (!answered || status() != PaidReady) {
            std::fprintf(stderr, "sale %s ended with \"%s\"\n", qPrintable(code), qPrintable(status()));
            QTest::keyClick(&m_Window, Qt::Key_Escape);
            return std::nullopt;
        }
        return qMakePair(scanned, *answered);
    }

private:
    KestoWindow m_Window;
    QLineEdit *m_Money;
    QLineEdit *m_Codes;
    QLabel *m_Status;
};

// The request the pay window sends for a code, for the bare client to send too.
QString saleBody(const SettingsStore &config, const QString &code)
{
    FormFields fields = accountFields(config);
    fields << qMakePair(QStringLiteral("codes"), code) << qMakePair(QStringLiteral("price"), Amount)
           << qMakePair(QStringLiteral("drive"), config.read(QStringLiteral("device")));
    return formBody(fields);
}

// A bare round trip: from the post to the parsed reply handed out; nothing when it failed.
std::optional<QPair<double, double>> bareRoundTrip(WxNetwork &network, const QString &url,
                                                   const QString &body)
{
    bool replied = false;
    const QMetaObject::Connection connection = QObject::connect(
        &network, &WxNetwork::Replied, [&replied](quint64, const QJsonObject &) { replied = true; });
    const double sent = nowMs();
    network.sendTo(url, body);
    const auto answered = BenchApplication::waitFor([&replied] { return replied; });
    QObject::disconnect(connection);
    if (!answered)
        return std::nullopt;
    return qMakePair(sent, *answered);
}

// A listening socket on loopback that notes the moment each request has fully arrived (headers
// and the body its Content-Length announces) and answers it as the service answers a paid sale.
class WireListener
{
public:
    WireListener()
    {
        m_Socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_Socket, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_Socket, 16);
        socklen_t length = sizeof address;
        ::getsockname(m_Socket, reinterpret_cast<sockaddr *>(&address), &length);
        m_Port = ntohs(address.sin_port);
        m_Accepting = std::thread([this] { accept(); });
    }
    ~WireListener()
    {
        m_Stopping = true;
        ::shutdown(m_Socket, SHUT_RDWR);
        m_Accepting.join();
        ::close(m_Socket);
        // The client may keep its connections open; shut down, they let their threads end.
        for (auto &connection : m_Connections) {
            ::shutdown(connection.first, SHUT_RDWR);
            connection.second.join();
            ::close(connection.first);
        }
    }

    QString url() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_Port); }
    // The moments requests arrived since the last call.
    QVector<double> arrivals()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        QVector<double> taken;
        taken.swap(m_Arrivals);
        return taken;
    }

private:
    void accept()
    {
        while (!m_Stopping) {
            const int connection = ::accept(m_Socket, nullptr, nullptr);
            if (connection < 0)
                return;
            m_Connections.emplace_back(connection, std::thread([this, connection] { serve(connection); }));
        }
    }
    void serve(int connection)
    {
        std::string buffer;
        char chunk[4096];
        for (;;) {
            const size_t headerEnd = buffer.find("\r\n\r\n");
            if (headerEnd != std::string::npos) {
                const size_t bodyLength = contentLength(buffer.substr(0, headerEnd));
                if (buffer.size() >= headerEnd + 4 + bodyLength) {
                    const double arrived = nowMs();
                    {
                        std::lock_guard<std::mutex> lock(m_Mutex);
                        m_Arrivals << arrived;
                    }
                    buffer.erase(0, headerEnd + 4 + bodyLength);
                    const std::string reply = paidReply();
                    if (::send(connection, reply.data(), reply.size(), MSG_NOSIGNAL) < 0)
                        break;
                    continue;
                }
            }
            const ssize_t got = ::recv(connection, chunk, sizeof chunk, 0);
            if (got <= 0)
                break;
            buffer.append(chunk, size_t(got));
        }
    }
    static size_t contentLength(const std::string &headers)
    {
        const QByteArray lower = QByteArray::fromStdString(headers).toLower();
        const int at = lower.indexOf("content-length:");
        if (at < 0)
            return 0;
        return lower.mid(at + 15, lower.indexOf('\r', at) - at - 15).trimmed().toULong();
    }
    std::string paidReply()
    {
        const QByteArray body =
            QStringLiteral("{\"call\":{\"msg\":\"支付成功\",\"out_trade_no\":\"9%1\","
                           "\"payt\":\"Kesto\",\"total_fee\":\"1234\",\"time_end\":"
                           "\"20240301120000\",\"mchname\":\"演示商户\",\"mchid\":\"10001\"}}")
                .arg(++m_Replies, 17, 10, QLatin1Char('0'))
                .toUtf8();
        return "HTTP/1.1 200 OK\r\nContent-Type: application/json; charset=utf-8\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n\r\n" + body.toStdString();
    }

    int m_Socket = -1;
    int m_Port = 0;
    std::atomic<bool> m_Stopping{false};
    std::atomic<qint64> m_Replies{0};
    std::thread m_Accepting;
    std::vector<std::pair<int, std::thread>> m_Connections;
    std::mutex m_Mutex;
    QVector<double> m_Arrivals;
};

} // namespace

Figure measureSale(int rounds)
{
    const SettingsStore config;
    const QString url = serviceUrl(config, ServicePath::WeChatPay);
    Till till;
    WxNetwork bare;
    QVector<double> bareMs, saleMs;
    const int warmUp = 5;
    for (int round = 0; round < warmUp + rounds; ++round) {
        // Alternated, so that whatever else the machine does weighs on both alike.
        const auto roundTrip = bareRoundTrip(bare, url, saleBody(config, freshCode()));
        const auto sale = till.sell(freshCode());
        if (round < warmUp || !roundTrip || !sale)
            continue;
        bareMs << roundTrip->second - roundTrip->first;
        saleMs << sale->second - sale->first;
    }
    Figure figure = ratioFigure(QStringLiteral("sale_ratio"), 1.5, bareMs, saleMs);
    figure.note = QStringLiteral("ms, 18th character to the paid status / bare client");
    return figure;
}

Figure measureScanToWire(int rounds)
{
    const SettingsStore config;
    const QString service = config.read(QStringLiteral("server"));
    WireListener listener;
    config.write(QStringLiteral("server"), listener.url());
    const QString url = serviceUrl(config, ServicePath::WeChatPay);
    Till till;
    WxNetwork bare;
    QVector<double> bareMs, saleMs;
    const int warmUp = 5;
    for (int round = 0; round < warmUp + rounds; ++round) {
        listener.arrivals();
        const auto roundTrip = bareRoundTrip(bare, url, saleBody(config, freshCode()));
        const QVector<double> bareArrivals = listener.arrivals();
        const auto sale = till.sell(freshCode());
        const QVector<double> saleArrivals = listener.arrivals();
        if (round < warmUp || !roundTrip || !sale || bareArrivals.size() != 1 || saleArrivals.size() != 1)
            continue;
        bareMs << bareArrivals[0] - roundTrip->first;
        saleMs << saleArrivals[0] - sale->first;
    }
    config.write(QStringLiteral("server"), service);
    Figure figure = plainFigure(QStringLiteral("scan_to_wire_ms"), QStringLiteral("ms"), 2, saleMs, bareMs);
    figure.note =
        QStringLiteral("until a loopback listener holds the whole request; baseline: bare client post");
    return figure;
}

Figure measureSoak(int sales, QVector<double> *rssMb)
{
    Till till;
    int failed = 0;
    rssMb->clear();
    for (int sale = 0; sale < sales; ++sale) {
        if (!till.sell(freshCode()))
            ++failed;
        rssMb->append(residentKb() / 1024.0);
    }
    Figure figure;
    figure.name = QStringLiteral("soak_rss_growth_mb");
    figure.unit = QStringLiteral("MB");
    figure.goal = 5;
    figure.strict = true;
    const int thousand = qMin(1000, int(rssMb->size()));
    figure.baseline = thousand > 0 ? rssMb->at(thousand - 1) : 0;
    figure.measured = rssMb->isEmpty() ? 0 : rssMb->last();
    figure.value = figure.measured - *figure.baseline;
    figure.rounds = 1;
    settle(figure);
    // A sale that did not end paid fails the soak, whatever the memory does.
    if (failed > 0)
        figure.holds = false;
    figure.note = QStringLiteral("MB resident after sale 1000 and after sale %1; %2 sales failed")
                      .arg(sales)
                      .arg(failed);
    return figure;
}
