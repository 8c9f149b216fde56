// Two real processes of the program on one data directory.
#include "ListenerPort.h"
#include "TestDataDirectory.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

class TestSingleInstance : public QObject
{
    Q_OBJECT

    static QProcess *launch(QObject *parent)
    {
        auto *p = new QProcess(parent);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(TAVSMS_BINARY), {});
        return p;
    }

    static QByteArray hashOf(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                           : QByteArray();
    }

private Q_SLOTS:
    void secondStartIsRefusedAndTheFirstRunsOn()
    {
        tavsms::test::TestDataDirectory dir;
        tavsms::test::useFreeListenerPort(dir.programDir() + QStringLiteral("/tavsms.mdb"));
        QProcess *first = launch(this);
        QVERIFY(first->waitForStarted());
        // The first instance is up once it has created its database.
        const QString db = dir.programDir() + QStringLiteral("/tavsms.mdb");
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(db) && QFile::exists(db + QStringLiteral("-wal")), 10000);
        QTest::qWait(300);
        const QByteArray dbBefore = hashOf(db);

        QProcess *second = launch(this);
        QVERIFY(second->waitForFinished(10000));
        QCOMPARE(second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(second->exitCode(), 1);
        const QString said = QString::fromUtf8(second->readAllStandardError());
        QVERIFY2(said.contains(QStringLiteral("[Application Error] Application Already Running")), qPrintable(said));
        QCOMPARE(hashOf(db), dbBefore);

        // The first one is untouched and still running.
        QCOMPARE(first->state(), QProcess::Running);
        first->terminate();
        QVERIFY(first->waitForFinished(10000));
    }

    void aLockLeftByADeadProgramDoesNotBlock()
    {
        tavsms::test::TestDataDirectory dir;
        tavsms::test::useFreeListenerPort(dir.programDir() + QStringLiteral("/tavsms.mdb"));
        QProcess *first = launch(this);
        QVERIFY(first->waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.programDir() + QStringLiteral("/tavsms.lock")), 10000);
        first->kill(); // no chance to clean up
        QVERIFY(first->waitForFinished(10000));
        QVERIFY(QFile::exists(dir.programDir() + QStringLiteral("/tavsms.lock")));

        QProcess *again = launch(this);
        QVERIFY(again->waitForStarted());
        QTest::qWait(1500);
        QCOMPARE(again->state(), QProcess::Running);
        again->terminate();
        QVERIFY(again->waitForFinished(10000));
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
