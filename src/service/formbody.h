#pragma once

#include <QPair>
#include <QString>
#include <QVector>

class SettingsSnapshot;

using FormFields = QVector<QPair<QString, QString>>;

// Joins name=value pairs with "&" in the given order, every value percent-encoded, so that a
// password with "&" or a scanned code can never add a field of its own.
QString formBody(const FormFields &fields);

// The stored account, which every request but the sign-in itself begins with.
FormFields accountFields(const SettingsSnapshot &settings);
