#include "HttpServer.h"

#include <QString>
#include <httplib.h>

namespace {

constexpr const char *jsonType = "application/json; charset=utf-8";
// Bodies above the router's own limit are still read whole, so that the client gets a JSON
// refusal instead of a connection torn down while it is still sending.
constexpr size_t readLimitBytes = 8 * 1024 * 1024;
constexpr size_t workerThreads = 16;

} // namespace

HttpServer::HttpServer(const Router &router) : m_router(router), m_server(std::make_unique<httplib::Server>())
{
    m_server->new_task_queue = [] { return new httplib::ThreadPool(workerThreads); };
    m_server->set_payload_max_length(readLimitBytes);
    // Replies are small; waiting for Nagle and delayed acknowledgements would dominate them.
    m_server->set_tcp_nodelay(true);
    m_server->set_keep_alive_max_count(1000);
    m_server->Post(R"(/.*)", [this](const httplib::Request &request, httplib::Response &response) {
        const Router::Response reply = m_router.handle(request.path, request.body);
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
