#pragma once

class QPrinter;
#include <QJsonObject>
#include <QString>

class SettingsSnapshot;
struct ShiftSummary;

// The receipt of a paid sale as HTML: the template with the reply's "call" values in place. A
// reprint says so right under the logo, so that it is never taken for a second sale. Without a
// logo path there is no image at all.
QString receiptHtml(const QJsonObject &call, const QString &logoPath, bool reprint = false);

// The receipt logo "kesto.jpg": beside the program, then in its ../share/kesto, then in the
// working directory; empty when there is none.
QString receiptLogo();

// The shift's totals on a slip of the receipt's width.
QString shiftSummaryHtml(const ShiftSummary &summary, const QString &merchant);

enum class ReceiptPrint { Skipped, NoPrinter, InvalidCopies, Printed };
// Prints the receipt on the named printer, `copies` times, each copy a job of its own. No printer
// name, or copies empty or 0, is no receipt; copies other than 0 to 9 print nothing.
ReceiptPrint printReceipt(const QString &html, const QString &printerName, const QString &copies);
// Lays the receipt out for the printer alone (a 58 mm page of the receipt's height, the same on
// every screen) and prints it `copies` times.
void printOnRoll(const QString &html, QPrinter &printer, int copies);

// A sale's receipt on the till's receipt printer: as many copies as set up, a reprint once.
ReceiptPrint printSaleReceipt(const QJsonObject &call, const SettingsSnapshot &config, bool reprint = false);
// A paid sale's receipt printed again, marked as a reprint: empty when printed, else what the
// cashier is told.
QString reprintSale(const QJsonObject &call, const SettingsSnapshot &config);

// Why nothing was printed, for the cashier; empty when it was printed.
QString printerProblem(ReceiptPrint outcome);
