#pragma once

#include <QString>
#include <QStringList>

// The command line of payment-server.
struct Options
{
    QString host = QStringLiteral("127.0.0.1");
    int port = 8080;
    QString database; // empty: data/payment.db beside the program
    int clientVersion = 0;
    int confirmDelaySeconds = 5;
    int slowReplySeconds = 3;
    QString tlsCertificate; // both set: serve HTTPS
    QString tlsKey;
    QString setPasswordFor; // set: read this account's new password from standard input and exit
    bool help = false;

    // Fills the options from the arguments (without the program name). Returns an error text for
    // an unknown option or a bad value, an empty text otherwise.
    QString parse(const QStringList &arguments);

    static QString helpText();
};
