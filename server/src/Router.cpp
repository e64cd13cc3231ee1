#include "Router.h"

#include "FormBody.h"

#include <QJsonDocument>
#include <exception>

namespace {

std::string serialise(const QJsonObject &reply)
{
    return QJsonDocument(reply).toJson(QJsonDocument::Compact).toStdString();
}

} // namespace

void Router::add(const std::string &path, ReplyShape shape, Handler handler)
{
    m_routes[path] = Route{shape, std::move(handler)};
}

Router::Response Router::handle(const std::string &path, const std::string &body) const
{
    const auto route = m_routes.find(path);
    if (route == m_routes.end())
        return refuse(path, 404, QStringLiteral("接口不存在"));
    try {
        return Response{200, serialise(dispatch(route->second, body))};
    } catch (const Refusal &refusal) {
        return Response{200, serialise(Replies::refusal(route->second.shape, refusal.message()))};
    } catch (const std::exception &) {
        return refuse(path, 500, QStringLiteral("服务器内部错误"));
    }
}

Router::Response Router::refuse(const std::string &path, int status, const QString &message) const
{
    const auto route = m_routes.find(path);
    return Response{status, route == m_routes.end()
                                ? errorBody(message)
                                : serialise(Replies::refusal(route->second.shape, message))};
}

std::string Router::errorBody(const QString &message)
{
    return serialise(QJsonObject{{QStringLiteral("msg"), message}});
}

QJsonObject Router::dispatch(const Route &route, const std::string &body) const
{
    if (body.size() > maxBodyBytes)
        throw Refusal(QStringLiteral("请求内容过长"));
    const FormBody form = FormBody::decode(body);
    if (!form.isValidUtf8())
        throw Refusal(QStringLiteral("请求内容不是有效的UTF-8文本"));
    const std::optional<Merchant> merchant =
        m_authenticate(form.value(QStringLiteral("username")), form.value(QStringLiteral("password")));
    if (!merchant)
        throw Refusal(Replies::wrongCredentials);
    return route.handler(Request{form, *merchant});
}
