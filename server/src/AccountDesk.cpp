#include "AccountDesk.h"

QJsonObject AccountDesk::login(const Request &request) const
{
    const QJsonObject status{{QStringLiteral("login"), QStringLiteral("1")}};
    const QJsonObject jm{{QStringLiteral("userid"), request.merchant.userid},
                         {QStringLiteral("title"), request.merchant.title}};
    return QJsonObject{{QStringLiteral("status"), status},
                       {QStringLiteral("jm"), jm},
                       {QStringLiteral("msg"), QStringLiteral("登录成功")}};
}

QJsonObject AccountDesk::devices(const Request &request) const
{
    const QVector<Device> devices =
        m_db.read([&](sqlite3 *db) { return Accounts(db).devices(request.merchant.id); });
    QJsonObject list;
    for (int i = 0; i < devices.size(); ++i) {
        list.insert(QString::number(i), QJsonObject{{QStringLiteral("id"), QString::number(devices[i].id)},
                                                    {QStringLiteral("device"), devices[i].name}});
    }
    return QJsonObject{{QStringLiteral("devices"), list}};
}

QJsonObject AccountDesk::user(const Request &request) const
{
    const QJsonObject version{{QStringLiteral("ver"), m_config.clientVersion}};
    const QJsonObject data{{QStringLiteral("version"), version},
                           {QStringLiteral("userid"), request.merchant.userid},
                           {QStringLiteral("title"), request.merchant.title}};
    return QJsonObject{{QStringLiteral("data"), data}};
}
