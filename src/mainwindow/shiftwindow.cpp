#include "mainwindow/shiftwindow.h"

#include "payment/receipt.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

ShiftWindow::ShiftWindow(QWidget *parent) : QDialog(parent), m_Slip(new QTextBrowser)
{
    // The program lives on in the tray when the summary is closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    m_Slip->setObjectName(QStringLiteral("m_Slip"));
    auto *buttons = new QDialogButtonBox;
    QPushButton *print = buttons->addButton(QStringLiteral("打印并交班"), QDialogButtonBox::AcceptRole);
    print->setObjectName(QStringLiteral("m_PrintShift"));
    buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
    connect(print, &QPushButton::clicked, this, &ShiftWindow::PrintSummary);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_Slip);
    layout->addWidget(buttons);
    resize(300, 560);
}

void ShiftWindow::ShowSummary()
{
    const QString merchant = m_Config.read(QStringLiteral("jm_title"));
    setWindowTitle(merchant);
    const ShiftSummary summary = m_Journal.summary();
    m_Computed = summary.until;
    m_Html = shiftSummaryHtml(summary, merchant);
    m_Slip->setHtml(m_Html);
    show();
    raise();
    activateWindow();
}

void ShiftWindow::PrintSummary()
{
    const QString problem =
        printerProblem(printReceipt(m_Html, m_Config.read(QStringLiteral("printname")), QStringLiteral("1")));
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, QStringLiteral("提示"), QStringLiteral("打印失败，") + problem);
        return;
    }
    if (!m_Journal.startShift(m_Computed)) {
        QMessageBox::warning(this, QStringLiteral("提示"), QStringLiteral("交班记录写入失败"));
        return;
    }
    accept();
}
