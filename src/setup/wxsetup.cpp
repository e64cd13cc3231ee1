#include "setup/wxsetup.h"
#include "ui_wxsetup.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QSerialPortInfo>

namespace {

const QString AutostartName = QStringLiteral("Kesto");

QString portable(const QKeySequence &sequence)
{
    return sequence.toString(QKeySequence::PortableText);
}

QString keyProblem(MyGlobalShortCut::Outcome outcome, const QString &which, const QString &key)
{
    switch (outcome) {
    case MyGlobalShortCut::Taken:
        return which + QStringLiteral("快捷键") + key + QStringLiteral("已被其他程序占用");
    case MyGlobalShortCut::Unsupported:
        return QStringLiteral("快捷键") + key + QStringLiteral("不受支持");
    case MyGlobalShortCut::Duplicate:
        return QStringLiteral("支付快捷键与退款快捷键相同");
    case MyGlobalShortCut::NoModifier:
        return which + QStringLiteral("键 ") + key + QStringLiteral("（须含Ctrl或Alt）");
    case MyGlobalShortCut::PayWindowKey:
        return which + QStringLiteral("键 ") + key + QStringLiteral("（支付窗口已用）");
    case MyGlobalShortCut::Cleared:
    case MyGlobalShortCut::Registered:
        break;
    }
    return QString();
}

} // namespace

WxSetup::WxSetup(QWidget *parent)
    : QDialog(parent), ui(new Ui::WxSetup), m_Frame(this, PaintedFrame::setupLook())
{
    ui->setupUi(this);
    // One digit: 0 prints no receipt, and more than 9 copies of one sale is a typing slip.
    ui->m_PrintNum->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]")), ui->m_PrintNum));
    connect(ui->m_SetupSave, &QPushButton::clicked, this, &WxSetup::savesetup);
}

WxSetup::~WxSetup()
{
    delete ui;
}

void WxSetup::loadSetup()
{
    setWindowTitle(m_Config.read(QStringLiteral("jm_title")));
    ui->m_PayKey->setKeySequence(
        QKeySequence::fromString(m_Config.read(QStringLiteral("paykey")), QKeySequence::PortableText));
    ui->m_RefundKey->setKeySequence(
        QKeySequence::fromString(m_Config.read(QStringLiteral("refundkey")), QKeySequence::PortableText));
    ui->m_PrintName->setText(m_Config.read(QStringLiteral("printname")));
    // Without a stored number a printer name alone would print nothing; one copy is meant.
    const QString copies = m_Config.read(QStringLiteral("printnum"));
    ui->m_PrintNum->setText(copies.isEmpty() ? QStringLiteral("1") : copies);
    ui->m_Starts->setChecked(!m_Config.readAutostart(AutostartName).isEmpty());
    ui->m_ScanPort->clear();
    ui->m_ScanPort->addItem(QString());
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts())
        ui->m_ScanPort->addItem(port.systemLocation());
    ui->m_ScanPort->setCurrentText(m_Config.read(QStringLiteral("scanport")));
    ui->m_Signal->setChecked(m_Config.read(QStringLiteral("remeber")).toInt() == 1);
}

void WxSetup::savesetup()
{
    const QString payKey = portable(ui->m_PayKey->keySequence());
    const QString refundKey = portable(ui->m_RefundKey->keySequence());
    bool stored = m_Config.write(QStringLiteral("paykey"), payKey);
    stored = m_Config.write(QStringLiteral("refundkey"), refundKey) && stored;
    stored = m_Config.write(QStringLiteral("printname"), ui->m_PrintName->text()) && stored;
    stored = m_Config.write(QStringLiteral("printnum"), ui->m_PrintNum->text()) && stored;
    const QString scanPort = ui->m_ScanPort->currentText().trimmed();
    stored = m_Config.write(QStringLiteral("scanport"), scanPort) && stored;
    stored = m_Config.write(QStringLiteral("remeber"),
                            ui->m_Signal->isChecked() ? QStringLiteral("1") : QStringLiteral("0")) &&
             stored;

    const KeysOutcome keys = emit setkey(payKey, refundKey);
    const QString scanProblem = emit setscanport(scanPort);

    const bool autostart =
        ui->m_Starts->isChecked()
            ? m_Config.writeAutostart(AutostartName, QCoreApplication::applicationFilePath())
            : m_Config.removeAutostart(AutostartName);

    QStringList problems;
    if (!stored)
        problems << QStringLiteral("配置文件无法写入");
    problems << keyProblem(keys.pay, QStringLiteral("支付"), payKey)
             << keyProblem(keys.refund, QStringLiteral("退款"), refundKey);
    if (!autostart)
        problems << QStringLiteral("随机启动设置失败");
    if (!scanProblem.isEmpty())
        problems << QStringLiteral("扫码枪串口 ") + scanPort + QStringLiteral("（") + scanProblem +
                        QStringLiteral("）");
    problems.removeAll(QString());

    QMessageBox::about(this, QStringLiteral("提示"),
                       problems.isEmpty() ? QStringLiteral("保存成功")
                                          : QStringLiteral("已保存，但以下设置未生效：\n") +
                                                problems.join(QLatin1Char('\n')));
    hide();
}

void WxSetup::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    emit hidden();
}
