#include "faultproxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

int listenOn(int &port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    bind(fd, reinterpret_cast<sockaddr *>(&address), length);
    listen(fd, 64);
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

bool sendAll(int fd, const std::string &bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += size_t(n);
    }
    return true;
}

// One whole HTTP message: headers and a Content-Length body, or everything until the peer closes.
std::string readMessage(int fd)
{
    std::string data;
    char buffer[65536];
    size_t wanted = std::string::npos;
    while (data.size() < wanted) {
        const ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0)
            break;
        data.append(buffer, size_t(n));
        const size_t end = data.find("\r\n\r\n");
        if (wanted == std::string::npos && end != std::string::npos) {
            std::string headers = data.substr(0, end);
            for (char &c : headers)
                c = char(tolower(c));
            const size_t at = headers.find("content-length:");
            if (at != std::string::npos)
                wanted = end + 4 + std::stoul(headers.substr(at + 15));
        }
    }
    return data;
}

std::string reply(const std::string &status, const std::string &type, const std::string &body)
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace

struct FaultProxy::Private
{
    int listener = -1;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::thread acceptor;
    std::mutex mutex;
    std::vector<std::thread> connections;
};

FaultProxy::FaultProxy(int upstreamPort) : d(new Private), m_Upstream(upstreamPort)
{
    d->listener = listenOn(d->port);
    d->acceptor = std::thread([this] {
        while (!d->stopping) {
            pollfd waiting{d->listener, POLLIN, 0};
            if (poll(&waiting, 1, 50) <= 0)
                continue;
            const int client = accept(d->listener, nullptr, nullptr);
            if (client < 0)
                continue;
            std::lock_guard<std::mutex> lock(d->mutex);
            d->connections.emplace_back([this, client] { serve(client); });
        }
    });
}

FaultProxy::~FaultProxy()
{
    d->stopping = true;
    d->acceptor.join();
    for (std::thread &connection : d->connections)
        connection.join();
    close(d->listener);
}

QString FaultProxy::url() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(d->port);
}

void FaultProxy::serve(int client)
{
    const std::string request = readMessage(client);
    const Fault fault = m_Fault;
    ++m_Requests;
    switch (fault) {
    case Fault::None: {
        const int upstream = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(uint16_t(m_Upstream.load()));
        if (connect(upstream, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0 &&
            sendAll(upstream, request))
            sendAll(client, readMessage(upstream));
        close(upstream);
        break;
    }
    case Fault::Hang:
        while (!d->stopping && m_Fault == Fault::Hang)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        break;
    case Fault::Reset: {
        const linger abort{1, 0};
        setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof(abort));
        break;
    }
    case Fault::HtmlPage:
        sendAll(client,
                reply("502 Bad Gateway", "text/html", "<html><body><h1>502 Bad Gateway</h1></body></html>"));
        break;
    case Fault::HugeBody:
        sendAll(client, reply("200 OK", "application/json",
                              R"({"call":{"msg":")" + std::string(10 << 20, 'x') + R"("}})"));
        break;
    case Fault::Array:
        sendAll(client, reply("200 OK", "application/json", R"([{"call":{"msg":"支付成功"}}])"));
        break;
    case Fault::WrongTypes:
        sendAll(client, reply("200 OK", "application/json",
                              R"({"call":{"msg":7,"out_trade_no":[1],"payt":{},"total_fee":1250,)"
                              R"("time_end":true,"mchname":null,"transaction_id":2.5,"device_info":[]}})"));
        break;
    }
    close(client);
}
