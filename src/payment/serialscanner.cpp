#include "payment/serialscanner.h"

#include <QTimer>

QStringList ScanLines::feed(const QByteArray &bytes)
{
    QStringList codes;
    for (const char c : bytes) {
        if (c == '\r' || c == '\n') {
            const QString code = QString::fromUtf8(m_Line).trimmed();
            if (!m_TooLong && !code.isEmpty())
                codes << code;
            m_Line.clear();
            m_TooLong = false;
        } else if (m_Line.size() < MaxLength) {
            m_Line += c;
        } else {
            m_TooLong = true;
        }
    }
    return codes;
}

SerialScanner::SerialScanner(QObject *parent)
    : QObject(parent), m_Port(new QSerialPort(this)), m_Retry(new QTimer(this))
{
    // What arrives faster than it is read waits in the system, not in this process.
    m_Port->setReadBufferSize(4096);
    m_Retry->setInterval(2000);
    connect(m_Port, &QSerialPort::readyRead, this, &SerialScanner::read);
    connect(m_Port, &QSerialPort::errorOccurred, this, &SerialScanner::failed);
    connect(m_Retry, &QTimer::timeout, this, &SerialScanner::reopen);
}

QString SerialScanner::use(const QString &port, qint32 baud)
{
    m_Retry->stop();
    m_Port->close();
    m_Lost = false;
    m_Lines = ScanLines();
    m_Port->setPortName(port);
    m_Port->setBaudRate(baud);
    if (port.isEmpty() || m_Port->open(QIODevice::ReadOnly))
        return QString();
    const QString reason = m_Port->errorString();
    m_Lost = true;
    m_Retry->start();
    return reason;
}

void SerialScanner::read()
{
    for (const QString &code : m_Lines.feed(m_Port->readAll()))
        emit scanned(code);
}

// Unplugged, the port fails its next read: closed at once and tried again later.
void SerialScanner::failed(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !m_Port->isOpen())
        return;
    m_Port->close();
    if (!m_Lost)
        emit notice(QStringLiteral("扫码枪已断开"));
    m_Lost = true;
    m_Lines = ScanLines();
    m_Retry->start();
}

void SerialScanner::reopen()
{
    if (!m_Port->open(QIODevice::ReadOnly))
        return;
    m_Retry->stop();
    m_Lost = false;
    emit notice(QStringLiteral("扫码枪已连接"));
}
