#pragma once

#include "payment/salesjournal.h"
#include "shell/settingsstore.h"

#include <QDialog>

class QTextBrowser;

// The shift summary: what this till took in since the last summary, shown as the slip it prints.
// Printing it hands the till over: the next summary starts from then.
class ShiftWindow : public QDialog
{
    Q_OBJECT
public:
    explicit ShiftWindow(QWidget *parent = nullptr);

public slots:
    void ShowSummary();

private slots:
    void PrintSummary();

private:
    SettingsStore m_Config;
    SalesJournal m_Journal;
    QTextBrowser *m_Slip;
    QString m_Html;
    // When the slip on show was computed: the next shift starts there, so that a sale made while
    // it is open is on the next slip.
    QDateTime m_Computed;
};
