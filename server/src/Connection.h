#pragma once

#include <chrono>
#include <httplib.h>

typedef struct ssl_st SSL;

// One client's socket (non-blocking), read and written against deadlines so that no client holds
// its thread longer than the limits below, whatever it sends or fails to send. TLS when given a
// session. httplib parses what is read here, one request after another.
class Connection : public httplib::Stream
{
public:
    using Clock = std::chrono::steady_clock;

    // A keep-alive connection may wait this long for its next request to begin...
    static constexpr std::chrono::seconds idleTime{5};
    // ... and from its first byte the whole request must arrive within this.
    static constexpr std::chrono::seconds requestTime{10};
    // A reply the client does not take within this is abandoned.
    static constexpr std::chrono::seconds writeTime{5};

    // Takes ownership of the socket and the TLS session (null: plain HTTP).
    Connection(int fd, SSL *tls);
    ~Connection() override;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // The TLS handshake, within the request time; true at once for plain HTTP.
    bool handshake();
    // Starts waiting for the next request; `maxBytes` bounds what it may read in all.
    void awaitRequest(size_t maxBytes);
    // The reply being written is the last one on this connection.
    void closeAfterReply() { m_closeAfterReply = true; }
    bool closesAfterReply() const { return m_closeAfterReply; }
    // Ends sending and reads on for a moment, so that a client still sending a body it was refused
    // reads the refusal instead of a reset connection.
    void lingeringClose();
    // Wakes a wait in this connection's thread, as when the server stops.
    void interrupt();

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char *ptr, size_t size) override;
    ssize_t write(const char *ptr, size_t size) override;
    void get_remote_ip_and_port(std::string &ip, int &port) const override;
    void get_local_ip_and_port(std::string &ip, int &port) const override;
    socket_t socket() const override { return m_fd; }

private:
    enum class Io { Done, WantRead, WantWrite, Closed };
    Io receive(char *data, size_t size, size_t &got);
    Io send(const char *data, size_t size, size_t &sent);
    // What a failed TLS read or write waits for.
    Io tlsOutcome() const;
    // Waits for the socket until the deadline; false when it passed.
    bool wait(Io want, Clock::time_point deadline) const;

    int m_fd;
    SSL *m_tls;
    char m_buffer[4096];
    size_t m_begin = 0, m_end = 0;
    bool m_idle = false;
    Clock::time_point m_deadline;
    size_t m_allowance = 0;
    bool m_closeAfterReply = false;
};
