#include "Connection.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::chrono::seconds lingerTime{2};

void addressOf(int fd, bool peer, std::string &ip, int &port)
{
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    auto *raw = reinterpret_cast<sockaddr *>(&address);
    char host[NI_MAXHOST] = "", service[NI_MAXSERV] = "0";
    if ((peer ? getpeername(fd, raw, &length) : getsockname(fd, raw, &length)) == 0)
        getnameinfo(raw, length, host, sizeof(host), service, sizeof(service),
                    NI_NUMERICHOST | NI_NUMERICSERV);
    ip = host;
    port = std::atoi(service);
}

} // namespace

Connection::Connection(int fd, SSL *tls) : m_fd(fd), m_tls(tls) {}

Connection::~Connection()
{
    SSL_free(m_tls);
    ::close(m_fd);
}

bool Connection::handshake()
{
    if (!m_tls)
        return true;
    const Clock::time_point deadline = Clock::now() + requestTime;
    while (SSL_accept(m_tls) != 1) {
        const Io io = tlsOutcome();
        if (io == Io::Closed || !wait(io, deadline))
            return false;
    }
    return true;
}

void Connection::awaitRequest(size_t maxBytes)
{
    m_allowance = maxBytes;
    // Bytes already here (a pipelined request) are its first byte.
    m_idle = m_begin == m_end;
    m_deadline = Clock::now() + (m_idle ? idleTime : requestTime);
}

void Connection::lingeringClose()
{
    if (m_tls)
        SSL_shutdown(m_tls);
    ::shutdown(m_fd, SHUT_WR);
    const Clock::time_point deadline = Clock::now() + lingerTime;
    char sink[4096];
    for (;;) {
        const ssize_t got = ::recv(m_fd, sink, sizeof(sink), 0);
        if (got > 0 && Clock::now() < deadline)
            continue;
        if (got < 0 && (errno == EINTR || (errno == EAGAIN && wait(Io::WantRead, deadline))))
            continue;
        return;
    }
}

void Connection::interrupt()
{
    ::shutdown(m_fd, SHUT_RD);
}

bool Connection::is_readable() const
{
    return m_begin < m_end || (m_tls && SSL_pending(m_tls) > 0) || wait(Io::WantRead, Clock::now());
}

bool Connection::is_writable() const
{
    return wait(Io::WantWrite, Clock::now() + writeTime);
}

ssize_t Connection::read(char *ptr, size_t size)
{
    while (m_begin == m_end) {
        if (m_allowance == 0)
            return -1;
        size_t got = 0;
        const Io io = receive(m_buffer, std::min(sizeof(m_buffer), m_allowance), got);
        if (io == Io::Done) {
            if (m_idle)
                m_deadline = Clock::now() + requestTime;
            m_idle = false;
            m_begin = 0;
            m_end = got;
            m_allowance -= got;
        } else if (io == Io::Closed) {
            return 0;
        } else if (!wait(io, m_deadline)) {
            return -1;
        }
    }
    const size_t n = std::min(size, m_end - m_begin);
    std::memcpy(ptr, m_buffer + m_begin, n);
    m_begin += n;
    return static_cast<ssize_t>(n);
}

ssize_t Connection::write(const char *ptr, size_t size)
{
    const Clock::time_point deadline = Clock::now() + writeTime;
    size_t written = 0;
    while (written < size) {
        size_t sent = 0;
        const Io io = send(ptr + written, size - written, sent);
        if (io == Io::Done)
            written += sent;
        else if (io == Io::Closed || !wait(io, deadline))
            return -1;
    }
    return static_cast<ssize_t>(size);
}

void Connection::get_remote_ip_and_port(std::string &ip, int &port) const
{
    addressOf(m_fd, true, ip, port);
}

void Connection::get_local_ip_and_port(std::string &ip, int &port) const
{
    addressOf(m_fd, false, ip, port);
}

Connection::Io Connection::receive(char *data, size_t size, size_t &got)
{
    if (m_tls) {
        if (SSL_read_ex(m_tls, data, size, &got) == 1)
            return Io::Done;
        return tlsOutcome();
    }
    for (;;) {
        const ssize_t n = ::recv(m_fd, data, size, 0);
        if (n > 0) {
            got = static_cast<size_t>(n);
            return Io::Done;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) ? Io::WantRead : Io::Closed;
    }
}

Connection::Io Connection::send(const char *data, size_t size, size_t &sent)
{
    if (m_tls) {
        if (SSL_write_ex(m_tls, data, size, &sent) == 1)
            return Io::Done;
        return tlsOutcome();
    }
    for (;;) {
        const ssize_t n = ::send(m_fd, data, size, MSG_NOSIGNAL);
        if (n >= 0) {
            sent = static_cast<size_t>(n);
            return Io::Done;
        }
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? Io::WantWrite : Io::Closed;
    }
}

Connection::Io Connection::tlsOutcome() const
{
    const int error = SSL_get_error(m_tls, 0);
    return error == SSL_ERROR_WANT_READ    ? Io::WantRead
           : error == SSL_ERROR_WANT_WRITE ? Io::WantWrite
                                           : Io::Closed;
}

bool Connection::wait(Io want, Clock::time_point deadline) const
{
    pollfd socket{m_fd, static_cast<short>(want == Io::WantWrite ? POLLOUT : POLLIN), 0};
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const int ready = poll(&socket, 1, static_cast<int>(std::max<long long>(0, left.count())));
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0;
    }
}
