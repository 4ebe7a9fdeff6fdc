#include "singleinstance.h"

#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void secondLaunchAsksTheFirstToShowItsPanel();
    void staleSocketFromACrashIsTakenOver();
};

void TestSingleInstance::secondLaunchAsksTheFirstToShowItsPanel()
{
    QTemporaryDir dir;
    const QString name = dir.path() + u"/tolvanis.socket"_qs;

    SingleInstance first(name);
    QVERIFY(!first.notifyRunningInstance());
    QVERIFY(first.listen());
    QSignalSpy asked(&first, &SingleInstance::activationRequested);

    SingleInstance second(name);
    QVERIFY(second.notifyRunningInstance());
    QTRY_COMPARE(asked.count(), 1);
}

void TestSingleInstance::staleSocketFromACrashIsTakenOver()
{
    QTemporaryDir dir;
    const QString name = dir.path() + u"/tolvanis.socket"_qs;
    {
        // A socket file whose listener is gone, as a crash leaves it.
        QFile stale(name);
        QVERIFY(stale.open(QIODevice::WriteOnly));
    }
    SingleInstance instance(name);
    QVERIFY(!instance.notifyRunningInstance());
    QVERIFY(instance.listen());
    QVERIFY(SingleInstance(name).notifyRunningInstance());
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
