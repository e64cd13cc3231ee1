#pragma once

#include <QHash>
#include <QString>
#include <string>

// The fields of one application/x-www-form-urlencoded request body.
class FormBody
{
public:
    // Splits on '&' and the first '=', decodes "%XX" and '+'. A '%' without two hex digits stays as
    // it is, because the client sends values unencoded. The first occurrence of a name wins.
    static FormBody decode(const std::string &body);

    // False when a decoded name or value is not valid UTF-8; such a body must be refused rather
    // than stored with replacement characters.
    bool isValidUtf8() const { return m_validUtf8; }

    // The value of a field, or an empty text when it is missing.
    QString value(const QString &name) const { return m_fields.value(name); }
    bool has(const QString &name) const { return m_fields.contains(name); }

private:
    QHash<QString, QString> m_fields;
    bool m_validUtf8 = true;
};
