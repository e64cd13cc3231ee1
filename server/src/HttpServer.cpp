#include "HttpServer.h"

#include "Connection.h"
#include "TlsContext.h"

#include <QString>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <strings.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char *jsonType = "application/json; charset=utf-8";
// Room for the request line and headers beside the largest body the router takes.
constexpr size_t requestBytes = Router::maxBodyBytes + 16 * 1024;
const QString tooLong = QStringLiteral("请求内容过长");

// The connection whose request is being handled on this thread.
thread_local Connection *served = nullptr;

struct Rejection
{
    int status;
    QString message;
};

bool isDecimal(const std::string &text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// A POST is read only when its length is known in exactly one way and its body is a plain form:
// anything else could be read differently here than by a proxy, or not as the router expects.
std::optional<Rejection> framingFault(const httplib::Request &request)
{
    if (request.method != "POST")
        return std::nullopt;
    std::set<std::string> lengths;
    for (auto [it, end] = request.headers.equal_range("Content-Length"); it != end; ++it)
        lengths.insert(it->second);
    const size_t transfers = request.get_header_value_count("Transfer-Encoding");
    if (transfers > 0 && !lengths.empty())
        return Rejection{400, QStringLiteral("请求同时带有Content-Length和Transfer-Encoding")};
    if (transfers > 1 ||
        (transfers == 1 && strcasecmp(request.get_header_value("Transfer-Encoding").c_str(), "chunked") != 0))
        return Rejection{400, QStringLiteral("不支持的Transfer-Encoding")};
    if (transfers == 0 && lengths.empty())
        return Rejection{411, QStringLiteral("请求缺少Content-Length")};
    if (lengths.size() > 1 || (lengths.size() == 1 && !isDecimal(*lengths.begin())))
        return Rejection{400, QStringLiteral("Content-Length无效")};
    if (lengths.size() == 1 &&
        (lengths.begin()->size() > 12 || std::stoull(*lengths.begin()) > Router::maxBodyBytes))
        return Rejection{413, tooLong};
    const std::string encoding = request.get_header_value("Content-Encoding");
    if (request.get_header_value_count("Content-Encoding") > 1 ||
        (!encoding.empty() && strcasecmp(encoding.c_str(), "identity") != 0))
        return Rejection{415, QStringLiteral("不支持的Content-Encoding")};
    if (request.is_multipart_form_data())
        return Rejection{415, QStringLiteral("不支持multipart请求，请以表单提交")};
    return std::nullopt;
}

// For connections over the limit, which get no thread.
const std::string &busyReply()
{
    static const std::string body = Router::errorBody(QStringLiteral("服务器繁忙，请稍后再试"));
    static const std::string reply =
        "HTTP/1.1 503 Service Unavailable\r\nContent-Type: " + std::string(jsonType) +
        "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    return reply;
}

void closeAfterReply(httplib::Response &response)
{
    served->closeAfterReply();
    response.set_header("Connection", "close");
}

void answer(const Router::Response &reply, httplib::Response &response)
{
    response.status = reply.status;
    response.set_content(reply.body, jsonType);
}

} // namespace

// httplib parses and writes; the connections are ours.
class HttpServer::Door : public httplib::Server
{
public:
    explicit Door(const Router &router) : m_router(router)
    {
        // What the Keep-Alive header announces; Connection enforces the time.
        set_keep_alive_timeout(Connection::idleTime.count());
        set_keep_alive_max_count(1000);
        set_pre_routing_handler([this](const httplib::Request &request, httplib::Response &response) {
            const std::optional<Rejection> fault = framingFault(request);
            if (!fault)
                return HandlerResponse::Unhandled;
            refuse(request.path, fault->status, fault->message, response);
            return HandlerResponse::Handled;
        });
        // The body is read here rather than by the library, which would parse forms by itself.
        Post(R"(/.*)", [this](const httplib::Request &request, httplib::Response &response,
                              const httplib::ContentReader &reader) {
            std::string body;
            bool over = false;
            const bool whole = reader([&](const char *data, size_t length) {
                over = body.size() + length > Router::maxBodyBytes;
                if (!over)
                    body.append(data, length);
                return !over;
            });
            // A body that did not arrive whole must change nothing: "refmoney=1" of "refmoney=12.34"
            // is a valid form.
            if (!whole)
                refuse(request.path, over ? 413 : 400,
                       over ? tooLong : QStringLiteral("请求内容不完整，未处理"), response);
            else
                answer(m_router.handle(request.path, body), response);
        });
        // The library's own refusals (no such method, a request it cannot parse) get a JSON body too;
        // bodies the router wrote pass unchanged.
        set_error_handler(HandlerWithResponse([](const httplib::Request &, httplib::Response &response) {
            if (!response.body.empty())
                return HandlerResponse::Unhandled;
            closeAfterReply(response);
            const QString message = response.status == 404
                                        ? QStringLiteral("接口不存在")
                                        : QStringLiteral("请求无效（HTTP %1）").arg(response.status);
            response.set_content(Router::errorBody(message), jsonType);
            return HandlerResponse::Handled;
        }));
        set_exception_handler([](const httplib::Request &, httplib::Response &response, std::exception_ptr) {
            closeAfterReply(response);
            response.status = 500;
            response.set_content(Router::errorBody(QStringLiteral("服务器内部错误")), jsonType);
        });
    }

    // One request; false when none came or its reply could not be written.
    bool serve(Connection &connection, bool &closed)
    {
        return process_request(connection, false, closed, nullptr);
    }

private:
    // What is still unread of this request would be taken for the next one, so the connection ends.
    void refuse(const std::string &path, int status, const QString &message,
                httplib::Response &response) const
    {
        closeAfterReply(response);
        answer(m_router.refuse(path, status, message), response);
    }

    const Router &m_router;
};

HttpServer::HttpServer(const Router &router, const TlsContext *tls)
    : m_tls(tls), m_door(std::make_unique<Door>(router))
{
}

HttpServer::~HttpServer()
{
    if (m_listener >= 0)
        ::close(m_listener);
}

int HttpServer::bind(const std::string &host, int port)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return -1;
    for (addrinfo *address = found; address && m_listener < 0; address = address->ai_next) {
        const int fd =
            ::socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC, address->ai_protocol);
        // SO_REUSEADDR alone: a quick restart may bind, a second server on a busy port may not.
        const int yes = 1;
        if (fd >= 0 && setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes)) == 0 &&
            ::bind(fd, address->ai_addr, address->ai_addrlen) == 0 && ::listen(fd, SOMAXCONN) == 0)
            m_listener = fd;
        else if (fd >= 0)
            ::close(fd);
    }
    freeaddrinfo(found);
    sockaddr_storage bound{};
    socklen_t length = sizeof(bound);
    if (m_listener < 0 || getsockname(m_listener, reinterpret_cast<sockaddr *>(&bound), &length) != 0)
        return -1;
    return ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6 &>(bound).sin6_port
                                             : reinterpret_cast<sockaddr_in &>(bound).sin_port);
}

void HttpServer::run()
{
    for (;;) {
        const int fd = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (std::lock_guard<std::mutex> lock(m_mutex); m_stopping)
                break;
            // Out of descriptors or memory: let connections end rather than spin.
            if (errno != EINTR && errno != ECONNABORTED)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        // Replies are small; waiting for Nagle and delayed acknowledgements would dominate them.
        const int yes = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof(yes));
        SSL *session = m_tls ? m_tls->session(fd) : nullptr;
        if (m_tls && !session) {
            ::close(fd);
            continue;
        }
        auto *connection = new Connection(fd, session);
        if (admit(connection)) {
            std::thread([this, connection] { serve(connection); }).detach();
        } else {
            if (!m_tls)
                connection->write(busyReply().data(), busyReply().size());
            delete connection;
        }
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_allClosed.wait(lock, [this] { return m_open.empty(); });
}

void HttpServer::stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
    ::shutdown(m_listener, SHUT_RDWR);
    for (Connection *connection : m_open)
        connection->interrupt();
}

void HttpServer::serve(Connection *connection)
{
    served = connection;
    if (connection->handshake()) {
        bool closed = false;
        do
            connection->awaitRequest(requestBytes);
        while (m_door->serve(*connection, closed) && !closed && !connection->closesAfterReply());
        if (connection->closesAfterReply())
            connection->lingeringClose();
    }
    served = nullptr;
    release(connection);
}

bool HttpServer::admit(Connection *connection)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stopping || m_open.size() >= maxConnections)
        return false;
    m_open.insert(connection);
    return true;
}

void HttpServer::release(Connection *connection)
{
    // Under the lock, so that stop() never reaches a closed socket and run() returns only after.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open.erase(connection);
    delete connection;
    m_allClosed.notify_all();
}
