#include "mainwindow/kesto.h"
#include "ui_kesto.h"

#include "mainwindow/records.h"
#include "mainwindow/shiftwindow.h"
#include "mainwindow/updatecheck.h"
#include "payment/kestowindow.h"
#include "payment/receipt.h"
#include "payment/salesjournal.h"
#include "payment/serialscanner.h"
#include "platform/platformintegration.h"
#include "refund/wxrefunds.h"
#include "service/formbody.h"
#include "service/servicepaths.h"
#include "service/serviceurl.h"
#include "service/wxnetwork.h"
#include "setup/wxsetup.h"
#include "signin/wxsignin.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QToolBar>

namespace {

const QString QueryText = QStringLiteral("过滤查询");

} // namespace

Kesto::Kesto(QWidget *parent) : QMainWindow(parent), ui(new Ui::KestoClass)
{
    ui->setupUi(this);
    m_Signin = new WxSignin;
    m_PayWindow = new KestoWindow;
    m_RefundWindow = new wxRefunds;
    m_Setup = new WxSetup;
    m_Shift = new ShiftWindow;
    m_DateFrom = new QDateEdit(this);
    m_DateFrom->setObjectName(QStringLiteral("m_DateFrom"));
    m_DateTo = new QDateEdit(this);
    m_DateTo->setObjectName(QStringLiteral("m_DateTo"));
    m_TrayIcon = new QSystemTrayIcon(this);
    m_TotalLabel = new QLabel;
    m_TotalLabel->setObjectName(QStringLiteral("m_TotalLabel"));
    // The service's words, never taken for markup.
    m_TotalLabel->setTextFormat(Qt::PlainText);
    m_PageLabel = new QLabel;
    m_PageLabel->setObjectName(QStringLiteral("m_PageLabel"));
    m_ReportNetwork = new WxNetwork;
    m_ReportNetwork->setLatestReplyOnly(true);

    connect(m_Signin, &WxSignin::showTray, this, &Kesto::Trays);
    connect(this, &Kesto::Shows, m_Signin, &WxSignin::shows);
    connect(ui->m_Pays, &QAction::triggered, this, &Kesto::SetPays);
    connect(ui->m_Refunds, &QAction::triggered, this, &Kesto::SetRefunds);
    connect(m_ReportNetwork, &WxNetwork::PostFinish, this, &Kesto::readNetLists);
    connect(m_ReportNetwork, &WxNetwork::Failed, this, &Kesto::recordsFailed);
    connect(this, SIGNAL(PayStrat()), m_PayWindow, SLOT(Paybakc()));
    connect(m_PayWindow, &KestoWindow::refundRequested, this, &Kesto::showrefunds);
    connect(m_Setup, &WxSetup::setkey, this, &Kesto::SetKeys);
    connect(m_Setup, &WxSetup::hidden, this, &Kesto::resumeKeys);

    m_PayShortCut = new MyGlobalShortCut(this);
    m_RefundShortCut = new MyGlobalShortCut(this);
    connect(m_PayShortCut, SIGNAL(activated()), m_PayWindow, SLOT(KeyShow()));
    connect(m_RefundShortCut, SIGNAL(activated()), m_RefundWindow, SLOT(KeyShow()));
    SetKeys(m_Config.read(QStringLiteral("paykey")), m_Config.read(QStringLiteral("refundkey")));

    m_Scanner = new SerialScanner(this);
    connect(m_Scanner, &SerialScanner::scanned, this, &Kesto::scanned);
    connect(m_Scanner, &SerialScanner::notice, this, &Kesto::notify);
    connect(m_Setup, &WxSetup::setscanport, this, &Kesto::SetScanPort);
    SetScanPort(m_Config.read(QStringLiteral("scanport")));

    InitInitialization();

    m_Network = new WxNetwork(serviceUrl(m_Config, ServicePath::User), formBody(accountFields(m_Config)));
    connect(m_Network, &WxNetwork::PostFinish, this, &Kesto::readNetData);
    m_Network->post();
}

Kesto::~Kesto()
{
    delete m_Signin;
    delete m_PayWindow;
    delete m_RefundWindow;
    delete m_Setup;
    delete m_Shift;
    delete m_Network;
    delete m_ReportNetwork;
    delete ui;
}

void Kesto::readNetData(QJsonObject obj)
{
    if (startUpdaterIfOutdated(obj))
        Exit();
}

void Kesto::InitInitialization()
{
    buildToolBars();

    const bool remembered = m_Config.read(QStringLiteral("remeber")).toInt() != 0 &&
                            !m_Config.read(QStringLiteral("username")).isEmpty() &&
                            !m_Config.read(QStringLiteral("password")).isEmpty();
    if (!remembered)
        emit Shows(true, true);
    else if (!m_Config.read(QStringLiteral("device")).isEmpty())
        Trays();
    else
        emit Shows(false, true);
}

void Kesto::buildToolBars()
{
    ui->m_ToolBar->setStyleSheet(QStringLiteral(
        "QToolBar{padding:2px 0px 2px 0px;margin:0px 0px 2px 0px}QToolButton{padding:1px 10px 1px 1px}"));
    ui->m_ToolBar->setIconSize(QSize(20, 20));

    m_TypeAction =
        new QAction(QIcon(QStringLiteral(":/Kesto/Resources/pay.png")), QStringLiteral("交易类型"), this);
    m_TypeMenu = new QMenu(this);
    m_QueryAction = new QAction(QIcon(QStringLiteral(":/Kesto/Resources/refresh.png")), QueryText, this);
    m_QueryAction->setObjectName(QStringLiteral("m_QueryAction"));
    m_TypeMenu->addAction(ui->m_Pays);
    m_TypeMenu->addAction(ui->m_Refunds);
    m_TypeAction->setMenu(m_TypeMenu);

    ui->m_ToolBar->addAction(m_TypeAction);
    ui->m_ToolBar->addSeparator();
    ui->m_ToolBar->addWidget(new QLabel(QStringLiteral(" 从 ")));
    ui->m_ToolBar->addWidget(m_DateFrom);
    ui->m_ToolBar->addWidget(new QLabel(QStringLiteral(" 至 ")));
    ui->m_ToolBar->addWidget(m_DateTo);
    ui->m_ToolBar->addWidget(new QLabel(QStringLiteral(" ")));
    ui->m_ToolBar->addAction(m_QueryAction);
    ui->m_ToolBar->addWidget(new QLabel(QStringLiteral(" ")));
    ui->m_ToolBar->addWidget(m_TotalLabel);
    connect(m_QueryAction, &QAction::triggered, this, &Kesto::LoadOrders);

    m_DateFrom->setDate(QDate::currentDate());
    m_DateTo->setDate(QDate::currentDate());
    ui->m_ToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    m_PageBar = new QToolBar(this);
    ui->PageLoay->addWidget(m_PageBar);
    m_FirstAction =
        new QAction(QIcon(QStringLiteral(":/Kesto/Resources/lastx.png")), QStringLiteral("前页"), this);
    m_PrevAction =
        new QAction(QIcon(QStringLiteral(":/Kesto/Resources/last.png")), QStringLiteral("上一页"), this);
    m_NextAction =
        new QAction(QIcon(QStringLiteral(":/Kesto/Resources/next.png")), QStringLiteral("下一页"), this);
    m_LastAction =
        new QAction(QIcon(QStringLiteral(":/Kesto/Resources/nextx.png")), QStringLiteral("尾页"), this);
    m_PageEdit = new QLineEdit;
    m_PageEdit->setObjectName(QStringLiteral("m_PageEdit"));
    m_PageEdit->setMaximumWidth(40);
    m_PageEdit->setMinimumHeight(28);
    m_PageEdit->setText(QStringLiteral("1"));
    m_PageLabel->setText(QStringLiteral(" / 0 "));
    m_PageBar->addAction(m_FirstAction);
    m_PageBar->addAction(m_PrevAction);
    m_PageBar->addWidget(new QLabel(QStringLiteral(" ")));
    m_PageBar->addWidget(m_PageEdit);
    m_PageBar->addWidget(m_PageLabel);
    m_PageBar->addAction(m_NextAction);
    m_PageBar->addAction(m_LastAction);
    m_PageBar->setStyleSheet(QStringLiteral("border-bottom:1px solid #CCC"));

    connect(m_PrevAction, &QAction::triggered, this, &Kesto::PagePre);
    connect(m_NextAction, &QAction::triggered, this, &Kesto::PageNext);
    connect(m_FirstAction, &QAction::triggered, this, &Kesto::PagePreX);
    connect(m_LastAction, &QAction::triggered, this, &Kesto::PageNextX);

    ui->m_Orders->setColumnCount(8);
    ui->m_Orders->setHorizontalHeaderLabels({QStringLiteral("编号"), QStringLiteral("支付方式"),
                                             QStringLiteral("支付设备"), QStringLiteral("支付金额"),
                                             QStringLiteral("退款金额"), QStringLiteral("支付单号"),
                                             QStringLiteral("系统单号"), QStringLiteral("交易时间")});
    const int widths[] = {50, 100, 100, 100, 110, 200, 210};
    for (int column = 0; column < 7; ++column)
        ui->m_Orders->setColumnWidth(column, widths[column]);
    ui->m_Orders->horizontalHeader()->setStretchLastSection(true);
    ui->m_Orders->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->m_Orders, &QWidget::customContextMenuRequested, this, &Kesto::recordMenu);
}

void Kesto::LoadOrders()
{
    FormFields fields = accountFields(m_Config);
    fields << qMakePair(QStringLiteral("device"), m_Config.read(QStringLiteral("device")))
           << qMakePair(QStringLiteral("startime"), m_DateFrom->text())
           << qMakePair(QStringLiteral("endtime"), m_DateTo->text())
           << qMakePair(QStringLiteral("paytype"), m_PayType)
           << qMakePair(QStringLiteral("p"), QString::number(m_Page));
    m_QueryAction->setText(QStringLiteral("查询中..."));
    m_ReportNetwork->sendTo(serviceUrl(m_Config, ServicePath::Report), formBody(fields));
}

void Kesto::readNetLists(QJsonObject obj)
{
    const RecordsPage page = parseRecords(obj);
    m_PageMax = page.pageCount;
    // Rows of an earlier query must never pass for the answer to this one.
    ui->m_Orders->setRowCount(0);
    for (const RecordsPage::Row &row : page.rows) {
        ui->m_Orders->setRowCount(row.index + 1);
        for (int column = 0; column < row.cells.size(); ++column)
            ui->m_Orders->setItem(row.index, column, new QTableWidgetItem(row.cells.at(column)));
        ui->m_Orders->item(row.index, 0)->setData(Qt::UserRole, row.receipt);
    }
    m_PageLabel->setText(QStringLiteral(" / %1 ").arg(m_PageMax));
    m_TotalLabel->setText(page.statistics);
    m_QueryAction->setText(QueryText);
    ui->m_StatusBar->clearMessage();
}

// Rows of an earlier query must not stand under the new dates as if they answered them.
void Kesto::recordsFailed()
{
    ui->m_Orders->setRowCount(0);
    m_TotalLabel->clear();
    m_QueryAction->setText(QueryText);
    ui->m_StatusBar->showMessage(QStringLiteral("网络异常，未能查询记录"));
}

void Kesto::Trays()
{
    const QString jmTitle = title();
    m_TrayIcon->setIcon(QIcon(QStringLiteral(":/Icon/Resources/kvt.ico")));
    m_TrayIcon->setToolTip(PlatformIntegration::instance().trayToolTip(jmTitle));

    const QString hint = hotkeyHint();

    // Built once: a menu and connection per run would open the records view once per run.
    if (!m_TrayMenu)
        buildTrayMenu();

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_TrayIcon->setVisible(true);
        m_TrayIcon->showMessage(jmTitle, hint, QSystemTrayIcon::Information, 5000);
    } else {
        offerMenuWithoutTray();
    }
}

// The balloon names the hotkeys only when both work; a stored key that is taken or unsupported
// would promise what the cashier cannot do.
QString Kesto::hotkeyHint() const
{
    if (!m_PayShortCut->isRegistered() || !m_RefundShortCut->isRegistered())
        return QStringLiteral("未配置快捷键功能！");
    return QStringLiteral("按 ") + m_Config.read(QStringLiteral("paykey")) +
           QStringLiteral(" 呼出支付窗口，按 ") + m_Config.read(QStringLiteral("refundkey")) +
           QStringLiteral(" 呼出退款窗口！");
}

void Kesto::buildTrayMenu()
{
    m_TrayMenu = new QMenu(this);
    m_TrayMenu->setObjectName(QStringLiteral("m_TrayMenu"));
    const auto addEntry = [this](const QString &label, const QString &icon, void (Kesto::*slot)()) {
        QAction *action = new QAction(this);
        action->setIconText(label);
        if (!icon.isEmpty())
            action->setIcon(QIcon(icon));
        connect(action, &QAction::triggered, this, slot);
        m_TrayMenu->addAction(action);
    };
    addEntry(QStringLiteral("线下支付"), QStringLiteral(":/Icon/pay.png"), &Kesto::showpays);
    addEntry(QStringLiteral("线下退款"), QStringLiteral(":/Icon/refunds.png"), &Kesto::showrefunds);
    addEntry(QStringLiteral("支付报表"), QStringLiteral(":/Icon/report.png"), &Kesto::showreport);
    addEntry(QStringLiteral("交班小结"), QStringLiteral(":/Icon/report.png"), &Kesto::showshift);
    m_TrayMenu->addSeparator();
    addEntry(QStringLiteral("软件设置"), QStringLiteral(":/Icon/setup.png"), &Kesto::Setups);
    m_TrayMenu->addSeparator();
    addEntry(QStringLiteral("更换账号"), QStringLiteral(":/Icon/setup.png"), &Kesto::ShowSignal);
    addEntry(QStringLiteral("更换设备"), QStringLiteral(":/Icon/setup.png"), &Kesto::ShowDevice);
    m_TrayMenu->addSeparator();
    addEntry(QStringLiteral("退出软件(&X)"), QString(), &Kesto::Exit);
    m_TrayIcon->setContextMenu(m_TrayMenu);
    connect(m_TrayIcon, &QSystemTrayIcon::activated, this, &Kesto::iconIsActived);
}

// Without a notification area the cashier would have nothing on screen: the records view opens
// with the tray's entries in its menu bar, and the tray icon takes over once an area appears.
void Kesto::offerMenuWithoutTray()
{
    if (!m_TrayWatch) {
        m_TrayMenu->setTitle(QStringLiteral("软件(&S)"));
        ui->m_MenuBar->addMenu(m_TrayMenu);
        m_TrayWatch = new QTimer(this);
        m_TrayWatch->setInterval(1000);
        connect(m_TrayWatch, &QTimer::timeout, this, [this] {
            if (QSystemTrayIcon::isSystemTrayAvailable()) {
                m_TrayWatch->stop();
                Trays();
            }
        });
    }
    m_TrayWatch->start();
    showreport();
}

void Kesto::Exit()
{
    QApplication::quit();
}

void Kesto::Setups()
{
    m_PayShortCut->unsetShortcut();
    m_RefundShortCut->unsetShortcut();
    m_KeysSuspended = true;
    m_Setup->loadSetup();
    m_Setup->show();
    m_Setup->raise();
    m_Setup->activateWindow();
}

void Kesto::showpays()
{
    m_PayWindow->setWindowTitle(title());
    m_PayWindow->show();
    // The scanner types into the active window.
    m_PayWindow->raise();
    m_PayWindow->activateWindow();
    // After showing: the reset may have to ask the cashier first.
    emit PayStrat();
}

void Kesto::showrefunds()
{
    m_RefundWindow->setWindowTitle(title());
    m_RefundWindow->ShowDialog();
}

void Kesto::showreport()
{
    LoadOrders();
    setWindowTitle(title());
    showMaximized();
}

void Kesto::showshift()
{
    m_Shift->ShowSummary();
}

void Kesto::recordMenu(const QPoint &at)
{
    const QTableWidgetItem *item = ui->m_Orders->item(ui->m_Orders->rowAt(at.y()), 0);
    // Refund records have no receipt of their own.
    if (!item || m_PayType != QLatin1String("payport"))
        return;
    // Taken now: a records reply that lands while the menu is open deletes the row's items.
    const QJsonObject record = item->data(Qt::UserRole).toJsonObject();
    QMenu menu;
    const QAction *reprint = menu.addAction(QStringLiteral("补打小票"));
    if (menu.exec(ui->m_Orders->viewport()->mapToGlobal(at)) == reprint)
        ReprintRecord(record);
}

// A sale made at this till is printed as it was; any other from the record, with the merchant's
// name as the till knows it.
void Kesto::ReprintRecord(const QJsonObject &record)
{
    QJsonObject call = SalesJournal().paidCall(record.value(QStringLiteral("out_trade_no")).toString());
    if (call.isEmpty()) {
        call = record;
        call.insert(QStringLiteral("mchname"), title());
        call.insert(QStringLiteral("mchid"), QString());
    }
    const QString failure = reprintSale(call, m_Config);
    if (!failure.isEmpty())
        QMessageBox::warning(this, QStringLiteral("提示"), failure);
}

void Kesto::iconIsActived(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick)
        showreport();
}

KeysOutcome Kesto::SetKeys(QString Paykey, QString Refkey)
{
    m_KeysSuspended = false;
    m_PayShortCut->unsetShortcut();
    m_RefundShortCut->unsetShortcut();
    KeysOutcome outcome;
    outcome.pay = m_PayShortCut->setShortcut(Paykey);
    if (MyGlobalShortCut::sameCombination(Paykey, Refkey))
        outcome.refund = MyGlobalShortCut::Duplicate;
    else
        outcome.refund = m_RefundShortCut->setShortcut(Refkey);
    return outcome;
}

// The setup dialog closed without saving: the stored keys come back.
void Kesto::resumeKeys()
{
    if (m_KeysSuspended)
        SetKeys(m_Config.read(QStringLiteral("paykey")), m_Config.read(QStringLiteral("refundkey")));
}

QString Kesto::SetScanPort(const QString &port)
{
    const int baud = m_Config.read(QStringLiteral("scanbaud")).toInt();
    return m_Scanner->use(port, baud > 0 ? baud : 9600);
}

// A code from the serial scanner goes to the window that waits for it, never to another one.
void Kesto::scanned(const QString &code)
{
    if (m_RefundWindow->isActiveWindow())
        m_RefundWindow->takeScan(code);
    else if (m_PayWindow->waitsForCode())
        m_PayWindow->takeScan(code);
    else if (m_RefundWindow->isVisible())
        m_RefundWindow->takeScan(code);
    else
        notify(QStringLiteral("扫码未使用：请先输入金额"));
}

void Kesto::notify(const QString &text)
{
    if (m_TrayIcon->isVisible())
        m_TrayIcon->showMessage(title(), text, QSystemTrayIcon::Information, 5000);
    else
        ui->m_StatusBar->showMessage(text);
}

void Kesto::comeForward()
{
    if (m_TrayIcon->isVisible()) {
        m_TrayIcon->showMessage(title(), hotkeyHint(), QSystemTrayIcon::Information, 5000);
        return;
    }
    // Before sign-in has finished there is no records view to show.
    if (!m_TrayMenu)
        return;
    PlatformIntegration::instance().noteUserAction();
    showreport();
    raise();
    activateWindow();
}

void Kesto::ShowSignal()
{
    m_Signin->shows(true, false);
}

void Kesto::ShowDevice()
{
    m_Signin->shows(false, false);
}

void Kesto::SetPays()
{
    m_PayType = QStringLiteral("payport");
    LoadOrders();
    ui->m_Pays->setChecked(true);
    ui->m_Refunds->setChecked(false);
}

void Kesto::SetRefunds()
{
    m_PayType = QStringLiteral("payrefunds");
    LoadOrders();
    ui->m_Pays->setChecked(false);
    ui->m_Refunds->setChecked(true);
}

void Kesto::PagePre()
{
    if (m_Page <= 1) {
        QMessageBox::about(this, QStringLiteral("提示"), QStringLiteral("已经是第一页了！"));
        return;
    }
    --m_Page;
    showPage();
}

void Kesto::PageNext()
{
    if (m_Page >= m_PageMax) {
        QMessageBox::about(this, QStringLiteral("提示"), QStringLiteral("已经是最后一页了！"));
        return;
    }
    ++m_Page;
    showPage();
}

void Kesto::PagePreX()
{
    m_Page = 1;
    showPage();
}

void Kesto::PageNextX()
{
    // Before any reply there are no pages, and page 0 does not exist.
    m_Page = qMax(1, m_PageMax);
    showPage();
}

void Kesto::showPage()
{
    m_PageEdit->setText(QString::number(m_Page));
    LoadOrders();
}

QString Kesto::title() const
{
    return m_Config.read(QStringLiteral("jm_title"));
}

// With a tray icon the program lives on in the tray. Without one the records view is the
// program's only window, and closing it ends the program.
void Kesto::closeEvent(QCloseEvent *event)
{
    if (!m_TrayIcon->isVisible()) {
        event->accept();
        Exit();
        return;
    }
    event->ignore();
    hide();
}
