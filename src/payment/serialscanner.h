#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QStringList>

class QTimer;

// The codes in what a scanner on a serial port sends: each is the characters up to CR or LF, with
// the white space around it dropped. A line longer than any code is dropped whole, and no more of
// it than that is ever kept.
class ScanLines
{
public:
    static constexpr int MaxLength = 64;
    QStringList feed(const QByteArray &bytes);

private:
    QByteArray m_Line;
    bool m_TooLong = false;
};

// A barcode scanner that presents itself as a serial port (USB virtual COM), so that its codes
// need no keyboard focus. Read in the event loop; a port that goes away is opened again every 2 s.
class SerialScanner : public QObject
{
    Q_OBJECT
public:
    explicit SerialScanner(QObject *parent = nullptr);

    // Reads from that port from now on (empty: keyboard mode, none). Gives the reason when it
    // cannot be opened now; it is tried again until it can.
    QString use(const QString &port, qint32 baud);

signals:
    void scanned(const QString &code);
    // "扫码枪已断开" once when the port goes away, "扫码枪已连接" once when it is back.
    void notice(const QString &text);

private:
    void read();
    void failed(QSerialPort::SerialPortError error);
    void reopen();

    QSerialPort *m_Port;
    QTimer *m_Retry;
    ScanLines m_Lines;
    bool m_Lost = false;
};
