#pragma once

#include "shell/myglobalshortcut.h"
#include "shell/settingsstore.h"

#include <QJsonObject>
#include <QMainWindow>
#include <QSystemTrayIcon>

namespace Ui {
class KestoClass;
}

class KestoWindow;
class ShiftWindow;
class QAction;
class QDateEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;
class QToolBar;
class SerialScanner;
class WxNetwork;
class WxSetup;
class WxSignin;
class wxRefunds;

// The hidden hub of the program: owns every window and the tray icon, takes the start-up
// decision, and is itself the records view.
class Kesto : public QMainWindow
{
    Q_OBJECT
public:
    explicit Kesto(QWidget *parent = nullptr);
    ~Kesto() override;

public slots:
    // A second start of the program asks this one to show itself.
    void comeForward();

signals:
    void Shows(bool t, bool f);
    void PayStrat();
    void ShowPays();
    void ShowRefunds();

private slots:
    void readNetData(QJsonObject obj);
    void InitInitialization();
    void LoadOrders();
    void readNetLists(QJsonObject obj);
    void Trays();
    void Exit();
    void Setups();
    void showpays();
    void showrefunds();
    void showreport();
    void showshift();
    void recordMenu(const QPoint &at);
    void ReprintRecord(const QJsonObject &record);
    void iconIsActived(QSystemTrayIcon::ActivationReason reason);
    KeysOutcome SetKeys(QString Paykey, QString Refkey);
    void resumeKeys();
    QString SetScanPort(const QString &port);
    void scanned(const QString &code);
    void notify(const QString &text);
    void ShowSignal();
    void ShowDevice();
    void SetPays();
    void SetRefunds();
    void PagePre();
    void PageNext();
    void PagePreX();
    void PageNextX();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildToolBars();
    void recordsFailed();
    void buildTrayMenu();
    void offerMenuWithoutTray();
    void showPage();
    QString title() const;
    QString hotkeyHint() const;

    Ui::KestoClass *ui;
    SettingsStore m_Config;
    WxSignin *m_Signin;
    KestoWindow *m_PayWindow;
    wxRefunds *m_RefundWindow;
    WxSetup *m_Setup;
    ShiftWindow *m_Shift;
    QDateEdit *m_DateFrom;
    QDateEdit *m_DateTo;
    QSystemTrayIcon *m_TrayIcon;
    QLabel *m_TotalLabel;
    QLabel *m_PageLabel;
    MyGlobalShortCut *m_PayShortCut;
    MyGlobalShortCut *m_RefundShortCut;
    SerialScanner *m_Scanner;
    // The hotkeys rest while the setup dialog is open, so that its key editors can record them.
    bool m_KeysSuspended = false;
    WxNetwork *m_Network = nullptr;
    // Records have a client of their own, so that the user request's reply can never be
    // taken for a page of records; only the newest records request is answered.
    WxNetwork *m_ReportNetwork;
    QString m_PayType = QStringLiteral("payport");
    int m_Page = 1;
    int m_PageMax = 0;

    QAction *m_TypeAction = nullptr;
    QMenu *m_TypeMenu = nullptr;
    QAction *m_QueryAction = nullptr;
    QToolBar *m_PageBar = nullptr;
    QAction *m_FirstAction = nullptr;
    QAction *m_PrevAction = nullptr;
    QAction *m_NextAction = nullptr;
    QAction *m_LastAction = nullptr;
    QLineEdit *m_PageEdit = nullptr;

    QMenu *m_TrayMenu = nullptr;
    // Polls for a notification area that appears after start-up (a session still starting).
    QTimer *m_TrayWatch = nullptr;
};
