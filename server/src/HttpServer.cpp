#include "HttpServer.h"

#include <QString>
#include <algorithm>
#include <httplib.h>
#include <sys/socket.h>

namespace {

constexpr const char *jsonType = "application/json; charset=utf-8";
// Bodies above the router's own limit are still read (and dropped), so that the client gets a
// JSON refusal instead of a connection torn down while it is still sending.
constexpr size_t readLimitBytes = 8 * 1024 * 1024;
constexpr size_t workerThreads = 16;

} // namespace

HttpServer::HttpServer(const Router &router, const std::string &certificate, const std::string &key)
    : m_router(router),
      m_server(certificate.empty() ? std::make_unique<httplib::Server>()
                                   : std::make_unique<httplib::SSLServer>(certificate.c_str(), key.c_str()))
{
    m_server->new_task_queue = [] { return new httplib::ThreadPool(workerThreads); };
    m_server->set_payload_max_length(readLimitBytes);
    // Replies are small; waiting for Nagle and delayed acknowledgements would dominate them.
    m_server->set_tcp_nodelay(true);
    // The library's default SO_REUSEPORT would let a second server share a busy port and split the
    // requests between two databases; SO_REUSEADDR alone still allows a quick restart.
    m_server->set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    m_server->set_keep_alive_max_count(1000);
    // Reading the body ourselves keeps it away from the library's own form parsing and its small
    // limit for form bodies, which would answer an oversized body with a bare 413.
    m_server->Post(R"(/.*)", [this](const httplib::Request &request, httplib::Response &response,
                                    const httplib::ContentReader &reader) {
        std::string body;
        reader([&body](const char *data, size_t length) {
            if (body.size() <= Router::maxBodyBytes)
                body.append(data, std::min(length, Router::maxBodyBytes + 1 - body.size()));
            return true;
        });
        const Router::Response reply = m_router.handle(request.path, body);
        response.status = reply.status;
        response.set_content(reply.body, jsonType);
    });
    m_server->set_error_handler([](const httplib::Request &, httplib::Response &response) {
        const QString message = response.status == 404
                                    ? QStringLiteral("接口不存在")
                                    : QStringLiteral("请求无效（HTTP %1）").arg(response.status);
        response.set_content(Router::errorBody(message), jsonType);
    });
}

HttpServer::~HttpServer() = default;

bool HttpServer::isValid() const
{
    return m_server->is_valid();
}

int HttpServer::bind(const std::string &host, int port)
{
    if (port == 0)
        return m_server->bind_to_any_port(host.c_str());
    return m_server->bind_to_port(host.c_str(), port) ? port : -1;
}

void HttpServer::run()
{
    m_server->listen_after_bind();
}

void HttpServer::stop()
{
    m_server->stop();
}
