#include "payment/receipt.h"

#include "payment/salesjournal.h"
#include "service/replyformat.h"
#include "shell/settingsstore.h"

#include <QAbstractTextDocumentLayout>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextDocument>
#include <QUrl>

#include <functional>

namespace {

constexpr int ReceiptDpi = 96;
const QString ValueStyle = QStringLiteral("line-height:28px;height:28px;text-align:right");
// A wider logo stretches the receipt's table beyond the 58 mm roll and pushes the values off it.
constexpr int MaxLogoWidth = 160;
// The figures a cashier hands over are printed as large as the receipt's amount.
const QString FigureStyle = ValueStyle + QStringLiteral(";font-size:20px");

QString row(const QString &cells, const QString &attributes = QString())
{
    return QStringLiteral("\t<tr%1>%2\t</tr>").arg(attributes, cells);
}

QString cell(const QString &attributes, const QString &content)
{
    return QStringLiteral("\t\t<td %1>\t\t\t%2\t\t</td>").arg(attributes, content);
}

QString captionRow(const QString &caption, const QString &value, const QString &valueStyle = ValueStyle,
                   int height = 28)
{
    return row(cell(QStringLiteral("style=\"line-height:28px;height:28px\" width=\"80\""), caption) +
                   cell(QStringLiteral("style=\"%1\" width=\"130\"").arg(valueStyle), value),
               QStringLiteral(" style=\"height:%1px;overflow:hidden\"").arg(height));
}

QString separatorRow()
{
    return row(cell(
        QStringLiteral("colspan=\"2\" style=\"height:5px;font-size:0px;font-weight:bold;overflow:hidden\""),
        QStringLiteral("&nbsp;").repeated(26) + QString(26, QLatin1Char('-'))));
}

QString titleRow(const QString &title)
{
    return row(cell(QStringLiteral("colspan=\"2\" style=\"line-height:28px;height:28px;text-align:center;"
                                   "font-size:20px;font-weight:bold\""),
                    title));
}

QString amountText(qint64 fen)
{
    return QStringLiteral("￥") + yuanFromFen(fen);
}

QString text(const QJsonObject &call, const char *key)
{
    return call.value(QLatin1String(key)).toString();
}

// Cut like every message of the service: each value is put in over the text so far (see below), so
// a value full of placeholders is filled again and again, and an 18 KB reply asked for a receipt of
// two billion characters.
QString escaped(const QJsonObject &call, const char *key)
{
    return shownMessage(text(call, key)).toHtmlEscaped();
}

} // namespace

QString receiptHtml(const QJsonObject &call, const QString &logoPath, bool reprint)
{
    // Qt would draw its broken-image icon for a file that is not there.
    const QString logo =
        logoPath.isEmpty()
            ? QString()
            : QStringLiteral("<img src=\"%1\"%2 />")
                  .arg(QUrl::fromLocalFile(logoPath).toString(QUrl::FullyEncoded).toHtmlEscaped(),
                       QImageReader(logoPath).size().width() > MaxLogoWidth
                           ? QStringLiteral(" width=\"%1\"").arg(MaxLogoWidth)
                           : QString());
    QString html =
        QStringLiteral(
            "<table style=\"border-collapse: collapse;font-family:宋体;font-size:13px\" width=\"210\">") +
        row(cell(QStringLiteral(
                     "colspan=\"2\" style=\"line-height:5x;height:5px;font-size:0px;text-align:center\""),
                 logo)) +
        separatorRow() + (reprint ? titleRow(QStringLiteral("补打")) : QString()) +
        captionRow(QStringLiteral("商户名称："), QStringLiteral("{mchname}")) +
        captionRow(QStringLiteral("商户编号："), QStringLiteral("{mchid}")) +
        captionRow(QStringLiteral("微信订单号："), QStringLiteral("{out_trade_no}")) +
        captionRow(QStringLiteral("支付类型："), QStringLiteral("{payt}")) +
        captionRow(QStringLiteral("交易日期："), QStringLiteral("{time_end}"),
                   ValueStyle + QStringLiteral(";font-size:12px")) +
        captionRow(QStringLiteral("应收金额："), QString()) +
        row(cell(QStringLiteral("colspan=\"2\" style=\"%1;font-size:20px\" width=\"130\"").arg(ValueStyle),
                 QStringLiteral("RMB:&nbsp;&nbsp;{total_fee}")),
            QStringLiteral(" style=\"height:28px;overflow:hidden\"")) +
        separatorRow() + captionRow(QStringLiteral("备注："), QString()) +
        captionRow(QString(), QString(), ValueStyle, 58) + QStringLiteral("</table>");

    const QString time = serviceTimeText(text(call, "time_end"),
                                         {QStringLiteral("/"), QStringLiteral("/"), QStringLiteral(" "),
                                          QStringLiteral(":"), QStringLiteral(":"), QString()});
    const QString channel = text(call, "payt") == QLatin1String("Kesto") ? QStringLiteral("微信钱包")
                                                                         : QStringLiteral("支付宝钱包");
    // Each over the whole text so far, in this order: a value holding a later placeholder gets it filled.
    html.replace(QStringLiteral("{out_trade_no}"), escaped(call, "out_trade_no"));
    html.replace(QStringLiteral("{payt}"), channel);
    html.replace(QStringLiteral("{time_end}"), time.toHtmlEscaped());
    html.replace(QStringLiteral("{total_fee}"), yuanFromFen(text(call, "total_fee")));
    html.replace(QStringLiteral("{mchname}"), escaped(call, "mchname"));
    html.replace(QStringLiteral("{mchid}"), escaped(call, "mchid"));
    return html;
}

void printOnRoll(const QString &html, QPrinter &printer, int copies)
{
    // The receipt's pixels are those of a 96 dpi page whatever the screen's DPI or scaling, so that
    // it prints at one size on the 58 mm roll.
    printer.setResolution(ReceiptDpi);
    printer.setDocName(QStringLiteral("小票"));
    printer.setFullPage(true);

    QTextDocument document;
    document.documentLayout()->setPaintDevice(&printer);
    document.setHtml(html);
    const qreal width = ReceiptDpi * 58 / 25.4;
    document.setTextWidth(width);
    const qreal height = document.size().height();
    document.setPageSize(QSizeF(width, height));

    // The paper is cut to the receipt: a page of the roll's width and the receipt's height. The
    // document's page size alone is not enough, as it would be scaled onto the printer's default paper.
    printer.setPageSize(QPageSize(QSizeF(58, height * 25.4 / ReceiptDpi), QPageSize::Millimeter, QString(),
                                  QPageSize::ExactMatch));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);

    for (int i = 0; i < copies; ++i)
        document.print(&printer);
}

namespace {

// Lays the receipt out (`html` is asked for only then) and prints it, once the printer and the
// number of copies are known to be good.
ReceiptPrint printWith(const std::function<QString()> &html, const QString &printerName,
                       const QString &copies)
{
    bool ok = false;
    const int count = copies.toInt(&ok);
    if (printerName.isEmpty() || copies.isEmpty() || (ok && count == 0))
        return ReceiptPrint::Skipped;
    // "100" would print a hundred jobs while the window stands still.
    if (!ok || count < 0 || count > 9)
        return ReceiptPrint::InvalidCopies;
    // Given an unknown name, the printer object would quietly fall back to the default printer.
    if (QPrinterInfo::printerInfo(printerName).isNull())
        return ReceiptPrint::NoPrinter;

    QPrinter printer;
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setPrinterName(printerName);
    printOnRoll(html(), printer, count);
    return ReceiptPrint::Printed;
}

} // namespace

ReceiptPrint printReceipt(const QString &html, const QString &printerName, const QString &copies)
{
    return printWith([&html] { return html; }, printerName, copies);
}

QString receiptLogo()
{
    // A till started at log-in runs in the home folder or System32, not in the program's folder.
    const QString program = QCoreApplication::applicationDirPath();
    for (const QString &dir : {program, program + QStringLiteral("/../share/kesto"), QDir::currentPath()}) {
        const QFileInfo logo(dir + QStringLiteral("/kesto.jpg"));
        if (logo.isFile())
            return QDir::cleanPath(logo.absoluteFilePath());
    }
    return QString();
}

ReceiptPrint printSaleReceipt(const QJsonObject &call, const SettingsSnapshot &config, bool reprint)
{
    // A till without a printer sells without laying out a receipt.
    return printWith([&call, reprint] { return receiptHtml(call, receiptLogo(), reprint); },
                     config.read(QStringLiteral("printname")),
                     reprint ? QStringLiteral("1") : config.read(QStringLiteral("printnum")));
}

QString reprintSale(const QJsonObject &call, const SettingsSnapshot &config)
{
    const QString problem = printerProblem(printSaleReceipt(call, config, true));
    return problem.isEmpty() ? QString() : QStringLiteral("补打失败，") + problem;
}

QString printerProblem(ReceiptPrint outcome)
{
    switch (outcome) {
    case ReceiptPrint::Printed:
        break;
    case ReceiptPrint::NoPrinter:
        return QStringLiteral("未找到打印机");
    case ReceiptPrint::InvalidCopies:
        return QStringLiteral("打印份数无效");
    case ReceiptPrint::Skipped:
        return QStringLiteral("未设置小票打印机");
    }
    return QString();
}

QString shiftSummaryHtml(const ShiftSummary &summary, const QString &merchant)
{
    const auto total = [](const ShiftSummary::Total &total) {
        return QStringLiteral("%1笔 ").arg(total.count) + amountText(total.fen);
    };
    const QString timeFormat = QStringLiteral("yyyy/MM/dd HH:mm");
    QString html =
        QStringLiteral(
            "<table style=\"border-collapse: collapse;font-family:宋体;font-size:13px\" width=\"210\">") +
        titleRow(QStringLiteral("交班小结")) + separatorRow() +
        captionRow(QStringLiteral("商户名称："), merchant.toHtmlEscaped()) +
        captionRow(QStringLiteral("开始时间："), summary.since.toString(timeFormat)) +
        captionRow(QStringLiteral("结束时间："), summary.until.toString(timeFormat)) + separatorRow() +
        captionRow(QStringLiteral("微信支付："), total(summary.wechat), FigureStyle) +
        captionRow(QStringLiteral("支付宝："), total(summary.alipay), FigureStyle) +
        captionRow(QStringLiteral("退款："), total(summary.refunds), FigureStyle) + separatorRow() +
        captionRow(QStringLiteral("结果未知："), QStringLiteral("%1笔").arg(summary.unknown.size()),
                   FigureStyle);
    for (const ShiftSummary::Unknown &sale : summary.unknown)
        html += captionRow(sale.time.toString(QStringLiteral("HH:mm:ss")), amountText(sale.fen));
    return html + QStringLiteral("</table>");
}
