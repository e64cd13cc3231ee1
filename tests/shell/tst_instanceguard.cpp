#include <QProcess>
#include <QUuid>
#include <QtTest>

#include <memory>

namespace {

using Probe = std::unique_ptr<QProcess>;

Probe startProbe(const QString &semaphoreKey, const QString &segmentKey)
{
    Probe probe(new QProcess);
    probe->start(GUARDPROBE, {semaphoreKey, segmentKey});
    return probe;
}

QByteArray answer(QProcess &probe)
{
    while (!probe.canReadLine() && probe.waitForReadyRead(10000)) {
    }
    return probe.readLine().trimmed();
}

bool finished(QProcess &probe)
{
    return probe.state() == QProcess::NotRunning || probe.waitForFinished(5000);
}

} // namespace

class TestInstanceGuard : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        const QString unique = QUuid::createUuid().toString(QUuid::Id128);
        m_Semaphore = "guard-test-sem-" + unique;
        m_Segment = "guard-test-seg-" + unique;
    }

    void twoStartedTogetherLeaveOne()
    {
        for (int round = 0; round < 5; ++round) {
            init();
            Probe first = startProbe(m_Semaphore, m_Segment);
            Probe second = startProbe(m_Semaphore, m_Segment);
            const QList<QByteArray> answers{answer(*first), answer(*second)};
            QCOMPARE(answers.count("passed"), 1);
            QCOMPARE(answers.count("refused"), 1);

            QProcess &refused = answers.at(0) == "refused" ? *first : *second;
            QVERIFY(finished(refused));
            QCOMPARE(refused.exitCode(), 0);
            first->closeWriteChannel();
            second->closeWriteChannel();
            QVERIFY(finished(*first));
            QVERIFY(finished(*second));
        }
    }

    void nextStartPasses_data()
    {
        QTest::addColumn<bool>("killed");
        QTest::newRow("after a normal exit") << false;
        QTest::newRow("after the instance was killed") << true;
    }
    void nextStartPasses()
    {
        QFETCH(bool, killed);
        Probe holder = startProbe(m_Semaphore, m_Segment);
        QCOMPARE(answer(*holder), QByteArray("passed"));
        Probe blocked = startProbe(m_Semaphore, m_Segment);
        QCOMPARE(answer(*blocked), QByteArray("refused"));

        if (killed)
            holder->kill();
        else
            holder->closeWriteChannel();
        QVERIFY(finished(*holder));

        Probe next = startProbe(m_Semaphore, m_Segment);
        QCOMPARE(answer(*next), QByteArray("passed"));
        next->closeWriteChannel();
        QVERIFY(finished(*next));
    }

    // The program itself: a second start while the first runs ends at once with code 0.
    void programRefusesASecondInstance()
    {
        QProcess first;
        first.start(KESTO_PROGRAM, QStringList());
        QVERIFY(first.waitForStarted());
        QTest::qWait(1500);
        QCOMPARE(first.state(), QProcess::Running);

        QProcess second;
        second.start(KESTO_PROGRAM, QStringList());
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);

        first.terminate();
        QVERIFY(first.waitForFinished(5000));
    }

private:
    QString m_Semaphore;
    QString m_Segment;
};

QTEST_GUILESS_MAIN(TestInstanceGuard)
#include "tst_instanceguard.moc"
