#pragma once

#include <QString>
#include <atomic>
#include <memory>

// A TCP proxy on 127.0.0.1 between the program and the payment service that passes requests
// through or answers them with a fault, as a broken network or a broken service would.
class FaultProxy
{
public:
    enum class Fault {
        None,      // pass through
        Hang,      // take the request and never answer
        Reset,     // drop the connection with a reset
        HtmlPage,  // a 502 error page
        HugeBody,  // a 10 MB JSON object
        Array,     // a JSON array
        WrongTypes // an object whose every field has the wrong type
    };

    explicit FaultProxy(int upstreamPort);
    ~FaultProxy();

    QString url() const;
    void setFault(Fault fault) { m_Fault = fault; }
    void setUpstreamPort(int port) { m_Upstream = port; }
    // Requests taken so far, whatever was done with them.
    int requests() const { return m_Requests; }

private:
    void serve(int client);

    struct Private;
    std::unique_ptr<Private> d;
    std::atomic<Fault> m_Fault{Fault::None};
    std::atomic<int> m_Upstream;
    std::atomic<int> m_Requests{0};
};
