#pragma once

#include "payment/paintedframe.h"
#include "payment/salesjournal.h"
#include "shell/settingsstore.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QMessageBox>
#include <QWidget>

namespace Ui {
class wxRefunds;
}

class WxNetwork;

// The refund window: the order number from a receipt is looked up at its eighteenth character,
// the order is shown, and it is refunded in full or in part on its own channel. Money leaves the
// shop here, so a refund goes only to the order the service returned for the code on screen, and
// only one refund is out at a time.
class wxRefunds : public QWidget
{
    Q_OBJECT
public:
    explicit wxRefunds(QWidget *parent = nullptr);
    ~wxRefunds() override;

    // An order number from the serial scanner, as if typed, the focus left where it is.
    void takeScan(const QString &code);

public slots:
    void QueryOrders(const QString &out_trade_no);
    void GetOrders(quint64 id, const QJsonObject &obj);
    void GetRefunds(quint64 id, const QJsonObject &obj);
    void Refunding();
    void ShowDialog();
    void KeyShow();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void refundByKey();
    void lookupFailed(quint64 id);
    void refundFailed(quint64 id);
    bool refundOnScreen() const;
    void refundEnded();
    bool mayRefund(qint64 fen);
    qint64 remainingFen() const;
    void forgetOrder();
    void fold(int height);
    void readyForScan();
    void say(QMessageBox::Icon icon, const QString &title, const QString &text);

    Ui::wxRefunds *ui;
    SettingsStore m_Config;
    WxNetwork *m_OrderNet;
    WxNetwork *m_RefundNet;
    PaintedFrame m_Frame;

    // The order the service returned for m_OrderCode, while m_HasOrder.
    bool m_HasOrder = false;
    QString m_OrderCode;
    QString m_OrderNo;
    QString m_OrderAmount; // yuan text
    qint64 m_OrderFen = 0;
    // Already refunded, by the service's count when its reply has one, else by this till's journal.
    qint64 m_RefundedFen = 0;
    // The journal holds a refund of this order whose outcome nobody has checked yet.
    bool m_UnknownUnseen = false;
    QString m_OrderDevice;
    QString m_TransactionId;
    QString m_Channel;

    // The newest lookup and the code it asked about.
    quint64 m_Lookup = 0;
    QString m_LookupCode;
    // The refund that is out and the order it is for.
    quint64 m_Refund = 0;
    QString m_RefundOrderNo;
    SalesJournal m_Journal;
    qint64 m_RefundRow = 0;

    QElapsedTimer m_OrderShown;
    QElapsedTimer m_LastCharacter;
};
