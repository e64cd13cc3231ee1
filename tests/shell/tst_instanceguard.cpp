#include "rows.h"

#include <QProcess>
#include <QUuid>

#include <memory>

// The guard between real processes (tests/shell/guardprobe); the program's own second start is in
// tst_startup.
class TestInstanceGuard : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        const QString unique = QUuid::createUuid().toString(QUuid::Id128);
        m_Keys = QStringList{"guard-test-sem-" + unique, "guard-test-seg-" + unique};
    }

    void twoStartedTogetherLeaveOne()
    {
        for (int round = 0; round < 5; ++round) {
            init();
            const auto first = start();
            const auto second = start();
            QCOMPARE(QSet<QByteArray>({answer(*first), answer(*second)}),
                     (QSet<QByteArray>{"passed", "refused"}));
        }
    }

    // A stale segment of a killed instance is cleared: the next start passes.
    void nextStartPasses_data()
    {
        QTest::addColumn<bool>("killed");
        row("after a normal exit", false);
        row("after the instance was killed", true);
    }
    void nextStartPasses()
    {
        QFETCH(bool, killed);
        const auto holder = start();
        QCOMPARE(answer(*holder), QByteArray("passed"));
        QCOMPARE(answer(*start()), QByteArray("refused"));
        if (killed)
            holder->kill();
        else
            holder->closeWriteChannel();
        QVERIFY(holder->waitForFinished(5000));
        QCOMPARE(answer(*start()), QByteArray("passed"));
    }

private:
    // The probe holds the guard until its input closes, which its end closes.
    std::unique_ptr<QProcess> start()
    {
        std::unique_ptr<QProcess> probe(new QProcess);
        probe->start(GUARDPROBE, m_Keys);
        return probe;
    }
    static QByteArray answer(QProcess &probe)
    {
        while (!probe.canReadLine() && probe.waitForReadyRead(10000)) {
        }
        return probe.readLine().trimmed();
    }

    QStringList m_Keys;
};

QTEST_GUILESS_MAIN(TestInstanceGuard)
#include "tst_instanceguard.moc"
