#include "service/formbody.h"

#include "shell/settingsstore.h"

#include <QStringList>
#include <QUrl>

QString formBody(const FormFields &fields)
{
    QStringList parts;
    parts.reserve(fields.size());
    for (const auto &field : fields)
        parts << field.first + QLatin1Char('=') + QString::fromLatin1(QUrl::toPercentEncoding(field.second));
    return parts.join(QLatin1Char('&'));
}

FormFields accountFields(const SettingsSnapshot &settings)
{
    return {{QStringLiteral("username"), settings.read(QStringLiteral("username"))},
            {QStringLiteral("password"), settings.read(QStringLiteral("password"))}};
}
