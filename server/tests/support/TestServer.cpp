#include "TestServer.h"

#include <QDate>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QUrl>
#include <httplib.h>

Summary parseSummary(const QString &tongji)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^(?:支付|退款)(\\d+)笔，合计(\\d+)\\.(\\d\\d)元")).match(tongji);
    if (!match.hasMatch())
        return Summary();
    return Summary{match.captured(1).toInt(),
                   match.captured(2).toLongLong() * 100 + match.captured(3).toInt()};
}

QString today()
{
    return QDate::currentDate().toString(QStringLiteral("yyyy/M/d"));
}

QString daysAgo(int days)
{
    return QDate::currentDate().addDays(-days).toString(QStringLiteral("yyyy-MM-dd"));
}

int TestServer::port() const
{
    return QUrl(baseUrl()).port();
}

QJsonObject TestServer::postRaw(const std::string &path, const std::string &body, int *status) const
{
    httplib::Client client("127.0.0.1", port());
    client.set_read_timeout(30, 0);
    const auto reply = client.Post(path.c_str(), body, "application/x-www-form-urlencoded");
    if (status)
        *status = reply ? reply->status : -1;
    return reply ? QJsonDocument::fromJson(QByteArray::fromStdString(reply->body)).object() : QJsonObject();
}

QJsonObject TestServer::post(const std::string &path, const Fields &fields) const
{
    QString body = QStringLiteral("username=demo&password=demo123");
    for (const auto &field : fields)
        body += QLatin1Char('&') + field.first + QLatin1Char('=') + field.second;
    return postRaw(path, body.toUtf8().toStdString());
}

QJsonObject TestServer::records(const QString &device, const QString &from, const QString &to,
                                const QString &kind, const QString &page) const
{
    return post(Pi + "mreport", {{"device", device},
                                 {"startime", from},
                                 {"endtime", to},
                                 {"paytype", kind},
                                 {"p", page}})["list"]
        .toObject();
}
