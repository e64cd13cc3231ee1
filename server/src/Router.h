#pragma once

#include "Accounts.h"
#include "Replies.h"
#include "Request.h"

#include <QJsonObject>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

// Maps a request path to its handler and does what every path shares: size and encoding checks,
// the account check, turning refusals into replies of the right shape, and serialising to JSON.
class Router
{
public:
    // Anything longer than a form of a few fields is refused before it is parsed.
    static constexpr size_t maxBodyBytes = 64 * 1024;

    using Handler = std::function<QJsonObject(const Request &)>;
    using Authenticator = std::function<std::optional<Merchant>(const QString &, const QString &)>;

    struct Response
    {
        int status = 200;
        std::string body;
    };

    explicit Router(Authenticator authenticate) : m_authenticate(std::move(authenticate)) {}

    void add(const std::string &path, ReplyShape shape, Handler handler);
    Response handle(const std::string &path, const std::string &body) const;
    // A refusal with this status, shaped for the path when it is known.
    Response refuse(const std::string &path, int status, const QString &message) const;

    // The body for paths that do not exist or requests the HTTP layer itself turned away.
    static std::string errorBody(const QString &message);

private:
    struct Route
    {
        ReplyShape shape;
        Handler handler;
    };

    QJsonObject dispatch(const Route &route, const std::string &body) const;

    Authenticator m_authenticate;
    std::unordered_map<std::string, Route> m_routes;
};
