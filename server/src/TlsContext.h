#pragma once

#include <memory>
#include <string>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

// The server's certificate chain and private key, loaded once; makes the TLS session of each
// connection.
class TlsContext
{
public:
    // Null with `error` naming the file and the reason when either cannot be used.
    static std::unique_ptr<TlsContext> load(const std::string &certificate, const std::string &key,
                                            std::string &error);
    ~TlsContext();
    TlsContext(const TlsContext &) = delete;
    TlsContext &operator=(const TlsContext &) = delete;

    // A server session on the socket, or null when out of memory.
    SSL *session(int fd) const;

private:
    explicit TlsContext(SSL_CTX *context) : m_context(context) {}
    SSL_CTX *m_context;
};
