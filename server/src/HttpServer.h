#pragma once

#include "Router.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <string>

class Connection;
class TlsContext;

// Serves a Router over HTTP, or HTTPS with a TLS context: every POST goes to the router by its
// path; anything else is a 404 with a JSON body. Each connection is served on a thread of its own,
// so an idle, slow or held connection delays no other; Connection bounds how long each may take.
class HttpServer
{
public:
    // More connections at once are answered 503 and closed.
    static constexpr size_t maxConnections = 256;

    explicit HttpServer(const Router &router, const TlsContext *tls = nullptr);
    ~HttpServer();

    // Binds without serving yet; port 0 picks a free port. Returns the bound port, or -1.
    int bind(const std::string &host, int port);
    // Serves until stop() is called from another thread, then waits for the open connections.
    void run();
    void stop();

private:
    class Door;
    void serve(Connection *connection);
    bool admit(Connection *connection);
    void release(Connection *connection);

    const TlsContext *m_tls;
    std::unique_ptr<Door> m_door;
    int m_listener = -1;
    std::mutex m_mutex;
    std::condition_variable m_allClosed;
    std::set<Connection *> m_open;
    bool m_stopping = false;
};
