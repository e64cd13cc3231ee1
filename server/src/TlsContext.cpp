#include "TlsContext.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

namespace {

// Missing or unreadable, as the system says; empty when the file can be read.
std::string unreadable(const std::string &path)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return std::strerror(errno);
    std::fclose(file);
    return {};
}

// An encrypted key would otherwise ask for its pass phrase on the terminal.
int noPassphrase(char *, int, int, void *)
{
    return 0;
}

} // namespace

std::unique_ptr<TlsContext> TlsContext::load(const std::string &certificate, const std::string &key,
                                             std::string &error)
{
    std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    const auto fail = [&error](const std::string &what, const std::string &path, const std::string &reason) {
        error = "cannot use the " + what + " " + path + ": " + reason;
        ERR_clear_error();
        return nullptr;
    };
    if (!context)
        return fail("TLS library", "", "out of memory");
    SSL_CTX_set_mode(context.get(), SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (const std::string reason = unreadable(certificate); !reason.empty())
        return fail("certificate", certificate, reason);
    if (SSL_CTX_use_certificate_chain_file(context.get(), certificate.c_str()) != 1)
        return fail("certificate", certificate, "not a PEM certificate");
    if (const std::string reason = unreadable(key); !reason.empty())
        return fail("key", key, reason);
    // Read apart from the certificate, so that a key of another certificate is told from no key.
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> privateKey(nullptr, EVP_PKEY_free);
    if (std::FILE *file = std::fopen(key.c_str(), "rb")) {
        privateKey.reset(PEM_read_PrivateKey(file, nullptr, noPassphrase, nullptr));
        std::fclose(file);
    }
    if (!privateKey)
        return fail("key", key, "not an unencrypted PEM private key");
    if (SSL_CTX_use_PrivateKey(context.get(), privateKey.get()) != 1 ||
        SSL_CTX_check_private_key(context.get()) != 1)
        return fail("key", key, "it does not match the certificate " + certificate);
    return std::unique_ptr<TlsContext>(new TlsContext(context.release()));
}

TlsContext::~TlsContext()
{
    SSL_CTX_free(m_context);
}

SSL *TlsContext::session(int fd) const
{
    SSL *session = SSL_new(m_context);
    if (session && SSL_set_fd(session, fd) == 1) {
        SSL_set_accept_state(session);
        return session;
    }
    SSL_free(session);
    return nullptr;
}
