// The records view filled from a reply of a thousand records, and the receipt built and laid out.

#include "bench.h"

#include "mainwindow/kesto.h"
#include "payment/receipt.h"

#include <QAction>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPrinter>
#include <QTableWidget>
#include <QTextDocument>

#include <cstdio>

namespace {

// A page of records as the service would send it, `count` records long.
QByteArray recordsReply(int count)
{
    QJsonObject list;
    for (int i = 0; i < count; ++i) {
        const bool wechat = i % 3 != 0;
        list.insert(
            QString::number(i),
            QJsonObject{{QStringLiteral("id"), QString::number(100000 + i)},
                        {QStringLiteral("payt"), wechat ? QStringLiteral("Kesto") : QStringLiteral("AliPay")},
                        {QStringLiteral("device_info"), QStringLiteral("前台")},
                        {QStringLiteral("total_fee"), QString::number(100 + i * 37 % 50000)},
                        {QStringLiteral("refunds"), QString::number(i % 4 == 0 ? 100 : 0)},
                        {QStringLiteral("out_trade_no"),
                         QStringLiteral("2024030112%1").arg(i, 8, 10, QLatin1Char('0'))},
                        {QStringLiteral("transaction_id"),
                         QStringLiteral("42000012%1").arg(i, 20, 10, QLatin1Char('0'))},
                        {QStringLiteral("time_end"),
                         QStringLiteral("202403011%1").arg(i % 100000, 5, 10, QLatin1Char('0'))}});
    }
    list.insert(QStringLiteral("page"),
                QJsonObject{{QStringLiteral("np"), count - 1}, {QStringLiteral("pmax"), 1}});
    list.insert(QStringLiteral("total"),
                QJsonObject{{QStringLiteral("tongji"),
                             QStringLiteral("支付%1笔，合计123456.78元，已退款2500.00元").arg(count)}});
    return QJsonDocument(QJsonObject{{QStringLiteral("list"), list}}).toJson(QJsonDocument::Compact);
}

void fill(Kesto &view, const QByteArray &reply)
{
    QMetaObject::invokeMethod(&view, "readNetLists", Qt::DirectConnection,
                              Q_ARG(QJsonObject, QJsonDocument::fromJson(reply).object()));
}

// The same cells put into a plain table, sized once.
void plainFill(QTableWidget &table, const QByteArray &reply)
{
    const QJsonObject list = QJsonDocument::fromJson(reply).object().value(QStringLiteral("list")).toObject();
    const int count = list.value(QStringLiteral("page")).toObject().value(QStringLiteral("np")).toInt() + 1;
    table.setRowCount(0);
    table.setRowCount(count);
    const char *keys[] = {"id",      "payt",         "device_info",    "total_fee",
                          "refunds", "out_trade_no", "transaction_id", "time_end"};
    for (int row = 0; row < count; ++row) {
        const QJsonObject record = list.value(QString::number(row)).toObject();
        for (int column = 0; column < 8; ++column)
            table.setItem(row, column,
                          new QTableWidgetItem(record.value(QLatin1String(keys[column])).toString()));
    }
}

} // namespace

Figure measureRecords(int rounds)
{
    // The records view of the program's hub, opened as the tray's 支付报表 opens it, on the local
    // service's answer first.
    Kesto view;
    QMetaObject::invokeMethod(&view, "showreport", Qt::DirectConnection);
    QAction *query = view.findChild<QAction *>(QStringLiteral("m_QueryAction"));
    const QString idle = query->text();
    BenchApplication::waitFor([&] { return query->text() == idle; });
    QTableWidget *orders = view.findChild<QTableWidget *>(QStringLiteral("m_Orders"));

    QTableWidget plain(0, 8);
    plain.resize(orders->size());
    plain.show();

    const QByteArray thousand = recordsReply(1000);
    const QByteArray none = recordsReply(0);
    QVector<double> viewMs, plainMs;
    const int warmUp = 2;
    for (int round = 0; round < warmUp + rounds; ++round) {
        // Each fill starts from an empty table, painted.
        fill(view, none);
        plain.setRowCount(0);
        BenchApplication::waitFor([] { return false; }, 50);

        // From the reply's bytes to the new rows painted.
        const double plainStart = nowMs();
        plainFill(plain, thousand);
        plain.viewport()->repaint();
        const double viewStart = nowMs();
        fill(view, thousand);
        orders->viewport()->repaint();
        const double viewEnd = nowMs();
        if (orders->rowCount() != 1000)
            std::fprintf(stderr, "the records view shows %d rows\n", orders->rowCount());
        if (round >= warmUp) {
            plainMs << viewStart - plainStart;
            viewMs << viewEnd - viewStart;
        }
    }
    Figure figure = plainFigure(QStringLiteral("records_fill_ms"), QStringLiteral("ms"), 30, viewMs, plainMs);
    figure.note = QStringLiteral("parse, fill, paint; baseline: the same cells into a plain table");
    return figure;
}

Figure measureReceipt(const BenchSetup &setup, int rounds)
{
    // A shop's logo, about as wide as the roll.
    const QString logo = setup.workDir + QStringLiteral("/kesto.jpg");
    QImage image(200, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(QFont(QString(), 28, QFont::Bold));
    painter.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("演示商户"));
    painter.end();
    image.save(logo, "JPG");

    const QJsonObject call{{QStringLiteral("msg"), QStringLiteral("支付成功")},
                           {QStringLiteral("out_trade_no"), QStringLiteral("100000000000000007")},
                           {QStringLiteral("payt"), QStringLiteral("Kesto")},
                           {QStringLiteral("total_fee"), QStringLiteral("1250")},
                           {QStringLiteral("time_end"), QStringLiteral("20240301093005")},
                           {QStringLiteral("mchname"), QStringLiteral("演示商户")},
                           {QStringLiteral("mchid"), QStringLiteral("10001")}};
    // The width the receipt is printed at: 58 mm at the printer's resolution, as printReceipt lays it out.
    const qreal width = QPrinter(QPrinter::ScreenResolution).logicalDpiX() * 58 / 25.4;
    QVector<double> millis;
    qreal height = 0;
    const int warmUp = 5;
    for (int round = 0; round < warmUp + rounds; ++round) {
        const double start = nowMs();
        QTextDocument document;
        document.setHtml(receiptHtml(call, logo));
        document.setTextWidth(width);
        height = document.size().height();
        const double end = nowMs();
        if (round >= warmUp)
            millis << end - start;
    }
    Figure figure = plainFigure(QStringLiteral("receipt_ms"), QStringLiteral("ms"), 10, millis);
    figure.note =
        QStringLiteral("receiptHtml and layout at 58 mm (%1 px tall), logo included").arg(qRound(height));
    return figure;
}
