#pragma once

#include <QString>

// A password as the database keeps it: a random salt and a slow salted hash (PBKDF2-HMAC-SHA256,
// "pbkdf2-sha256$ROUNDS$BASE64"), whose cost is stored with it so that it can be raised later.
// Databases made before hold one round of SHA-256 of salt and password in hex; those still match
// and are replaced on the next correct sign-in.
struct StoredPassword
{
    QString salt;
    QString hash;

    static StoredPassword make(const QString &password, int rounds);
    // Compared in constant time.
    bool matches(const QString &password) const;
    bool isOldForm() const;
};
