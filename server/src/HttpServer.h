#pragma once

#include "Router.h"

#include <memory>
#include <string>

namespace httplib {
class Server;
}

// Serves a Router over HTTP, or HTTPS when given a certificate and its key: every POST goes to
// the router by its path; anything else is a 404 with a JSON body.
class HttpServer
{
public:
    explicit HttpServer(const Router &router, const std::string &certificate = {},
                        const std::string &key = {});
    ~HttpServer();

    // False when the certificate or key could not be loaded.
    bool isValid() const;

    // Binds without serving yet; port 0 picks a free port. Returns the bound port, or -1.
    int bind(const std::string &host, int port);
    // Serves until stop() is called from another thread.
    void run();
    void stop();

private:
    const Router &m_router;
    std::unique_ptr<httplib::Server> m_server;
};
