#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QSqlQuery>
#include <QString>
#include <QVector>

// What this till's shift took in, as its journal knows it.
struct ShiftSummary
{
    struct Total
    {
        int count = 0;
        qint64 fen = 0;
    };
    struct Unknown
    {
        QDateTime time;
        qint64 fen = 0;
    };
    QDateTime since;
    // When it was computed: the next shift starts there.
    QDateTime until;
    Total wechat;
    Total alipay;
    Total refunds;
    // Sales whose outcome the till never learned: the cashier checks them in the records view.
    QVector<Unknown> unknown;
};

// The till's own record of every sale and refund: a row is written before its first request
// leaves, so that even a program killed mid-sale leaves the sale behind as unknown, and the replies
// complete it. A local SQLite file beside the settings file. A journal that cannot be written
// never stops a sale; it says so once through takeFailure().
class SalesJournal
{
public:
    enum class Kind { Sale, Refund };
    enum class Outcome { Unknown, Paid, Waiting, Failed, Refunded };
    struct Entry
    {
        Kind kind = Kind::Sale;
        QString channel; // "Kesto" or "AliPay"
        qint64 fen = 0;
        QString device;
        QString code; // the customer's payment code, stored masked
        QString tradeNo;
    };

    SalesJournal();
    ~SalesJournal();
    SalesJournal(const SalesJournal &) = delete;
    SalesJournal &operator=(const SalesJournal &) = delete;

    // Beside the settings file; empty when the shop keeps no journal ("journal=0").
    static QString defaultPath();
    // The first 4 and last 4 characters; a payment code is never stored whole.
    static QString masked(const QString &code);

    // The new row's id, 0 when it could not be written.
    qint64 begin(const Entry &entry);
    // A reply about the row's request; a "call" with an order number fills it in.
    void complete(qint64 row, Outcome outcome, const QString &message, const QJsonObject &call);
    // A reply to a query about a trade updates that trade's sale.
    void completeTrade(const QString &tradeNo, Outcome outcome, const QString &message,
                       const QJsonObject &call);

    // The stored reply of a paid sale, for printing its receipt again; empty when there is none.
    QJsonObject paidCall(const QString &tradeNo);
    QJsonObject lastPaidCall();

    // This till's refunds of an order: made, of unknown outcome, and whether an unknown one was
    // not yet shown to the cashier.
    struct OrderRefunds
    {
        qint64 refundedFen = 0;
        qint64 unknownFen = 0;
        bool unknownUnseen = false;
    };
    OrderRefunds refundsOf(const QString &orderNo);
    // The cashier was told of the order's refunds of unknown outcome.
    void markUnknownSeen(const QString &orderNo);

    ShiftSummary summary();
    // The shift summary was printed: the next shift starts where its slip was computed.
    bool startShift(const QDateTime &at);

    // True once, after the first write that failed.
    bool takeFailure();

    // Finds and opens the file, once; every other call does so itself when needed. False when
    // there is no journal to write.
    bool open();

private:
    void update(QSqlQuery &statement, const QVariant &key, Outcome outcome, const QString &message,
                const QJsonObject &call);
    QJsonObject paidCallWhere(const QString &where, const QVariantList &values);

    QString m_Connection;
    bool m_Opened = false;
    bool m_Broken = false;
    bool m_FailureTold = false;
    // Prepared once: a sale writes its row on the way to the service.
    QSqlQuery m_Insert;
    QSqlQuery m_UpdateRow;
    QSqlQuery m_UpdateTrade;
};
