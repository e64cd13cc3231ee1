#pragma once

#include "payment/receipt.h"
#include "payment/salesjournal.h"
#include "payment/wxwidget.h"
#include "shell/settingsstore.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QVector>

#include <functional>

namespace Ui {
class KestoWindow;
}

class QButtonGroup;
class QShortcut;
class QTimer;
class WxNetwork;

// The till: the amount on the keypad, the channel, the customer's payment code from the scanner,
// the service's answer, the receipt. One sale at a time; a sale runs from Pay() to the next reset.
class KestoWindow : public WxWidget
{
    Q_OBJECT
public:
    explicit KestoWindow(QWidget *parent = nullptr);
    ~KestoWindow() override;

    // Shown with its code field open for a payment code.
    bool waitsForCode() const;
    // A code from the serial scanner: into the code field as if typed, the focus left where it is.
    void takeScan(const QString &code);

signals:
    // The "退款" button: refunds are made in the refund window.
    void refundRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void Paybakc();
    void alipay();
    void kesto();
    void startPay(const QString &text);
    void ButtonGroup(int btnID);
    void Pay();
    void startcodes();
    void Payed(quint64 id, const QJsonObject &obj);
    void PayFailed(quint64 id);
    void PayQuery();
    void Reprint();
    void KeyShow();
    void showrefundslot();

private:
    // A trade the service was asked about, and the channel whose query path asks about it.
    struct Trade
    {
        QString no;
        QString type;
        bool byCashier = false; // F12, rather than the window asking by itself
    };

    void reset(bool byCashier);
    void leaveWaitingTrade();
    void ShowCodes(bool on);
    QString followCodeChannel(const QString &code);
    void sendQuery(const Trade &trade);
    bool queryOut(const QString &tradeNo) const;
    void startAutoQuery();
    void nextAutoQuery(bool stillWaiting);
    void autoQuery();
    void askAboutLeftTrades();
    void journalReply(quint64 id, const QString &msg, const QJsonObject &call);
    void journalLater(std::function<void()> write);
    void writeJournal();
    ReceiptPrint PrintTicket(const QJsonObject &call);
    void setStatus(const QString &text);
    void focusField(bool activate);
    void paidElsewhere(const QJsonObject &call);

    Ui::KestoWindow *ui;
    SettingsStore m_Config;
    // The settings as read when the amount of the sale on screen was accepted (at first, when the
    // window was made): its request, its receipt and the questions about it use them, so that a
    // sale reads the file once. With that amount in fen.
    SettingsSnapshot m_Sale;
    qint64 m_SaleFen = 0;
    WxNetwork *m_PayNet;
    WxNetwork *m_QueryNet;
    QButtonGroup *m_Keypad;
    QShortcut *m_QueryKey;
    QString m_PayType;
    // The trade that waits for the customer's confirmation; F12 asks about it.
    QString m_TradeNo;
    QString m_TradeType;

    // The pay request of the sale on screen while it is out, and its channel; 0 when none is. While
    // it is out nothing resets the window: a second scan could charge the customer twice.
    quint64 m_PayRequest = 0;
    QString m_PayChannel;
    // The pay request ended without an answer: the customer may have paid.
    bool m_OutcomeUnknown = false;
    // Whether the sale on screen waits for the customer (m_TradeNo is its trade).
    bool m_AwaitingCustomer = false;
    // Queries still out, with the trade each asked about.
    QHash<quint64, Trade> m_Queries;
    // Trades left while they waited for the customer: asked about in the background until their
    // limit, by trade number, with their channel.
    QHash<QString, QPair<QString, QDeadlineTimer>> m_LeftTrades;
    QTimer *m_LeftQuery;
    // Trades whose receipt has been printed, so that a repeated answer prints nothing more.
    QSet<QString> m_Printed;

    SalesJournal m_Journal;
    // Pay requests still out, with their sale's journal row.
    QHash<quint64, qint64> m_JournalRows;
    // Reply rows still to be written, just after the status they brought.
    QVector<std::function<void()>> m_JournalPending;
    // Said once, with the sale during which the journal could not be written.
    QString m_JournalNote;

    // Asking the service again by itself while the customer confirms, until the limit.
    QTimer *m_AutoQuery;
    QElapsedTimer m_AutoSince;
    qint64 m_AutoLimitMs = 0;
    int m_AutoEveryMs = 0;
    bool m_AutoQuerying = false;
};
