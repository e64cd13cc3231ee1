#pragma once

#include <QSizeF>
#include <QString>
#include <QStringList>

// A real CUPS queue that writes every job as a PDF (cups-pdf), added under a name of its own for
// the life of the object and removed with it; the scheduler is started when it is not running.
class PrintQueue
{
public:
    PrintQueue();
    ~PrintQueue();

    // Empty when the queue is ready, else why it is not.
    QString error() const { return m_Error; }
    QString name() const { return m_Name; }

    // Ids of every job sent to the queue so far, done or not.
    QStringList jobs() const;
    // Waits until `count` jobs or more are done and none is pending, and gives the PDF of every job
    // in job order; empty when that does not happen in time or a PDF is missing.
    QStringList waitForPdfs(int count, int timeoutMs = 60000) const;

    static QString pdfText(const QString &pdf);
    // The first page's size in points, and the number of pages.
    static QSizeF pdfPageSize(const QString &pdf, int *pages = nullptr);

private:
    QString m_Name;
    QString m_Error;
    QString m_OutputDir;
};
