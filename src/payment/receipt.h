#pragma once
#include <QJsonObject>
#include <QString>

// The receipt of a paid sale as HTML: the template with the reply's "call" values in place.
QString receiptHtml(const QJsonObject &call, const QString &logoPath);

enum class ReceiptPrint { Skipped, NoPrinter, Printed };
// Prints the receipt on the named printer, `copies` times (decimal text), each copy a job of its own.
ReceiptPrint printReceipt(const QString &html, const QString &printerName, const QString &copies);
