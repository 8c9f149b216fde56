// The data directory and everything in it are the user's alone: 0700 and
// 0600 after a start, for new files and for files left with wider modes.
#include "DataDirectory.h"
#include "MainController.h"
#include "RecordingPrompter.h"
#include "TestDataDirectory.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace tavsms;
using test::modeOf;

namespace {

QString octal(int mode)
{
    return QStringLiteral("0%1").arg(mode, 0, 8);
}

void createFile(const QString &path, int mode)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("contents\r\n");
    f.close();
    QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
}

// Every entry of the data directory, with its mode, for a readable failure.
QString listing()
{
    QStringList lines;
    for (const QFileInfo &file : QDir(DataDirectory::path()).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot
                                                                           | QDir::Hidden | QDir::System))
        lines << file.fileName() + QLatin1Char(' ') + octal(modeOf(file.filePath()));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class TestDataDirectory : public QObject
{
    Q_OBJECT

    void expectAllPrivate()
    {
        QVERIFY2(modeOf(DataDirectory::path()) == 0700, qPrintable(octal(modeOf(DataDirectory::path()))));
        const QFileInfoList files =
            QDir(DataDirectory::path()).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
        QVERIFY(!files.isEmpty());
        for (const QFileInfo &file : files)
            QVERIFY2(modeOf(file.filePath()) == 0600, qPrintable(listing()));
    }

private Q_SLOTS:
    void othersLoseEveryRight_data()
    {
        QTest::addColumn<bool>("directory");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after");
        QTest::newRow("file 0644") << false << 0644 << 0600;
        QTest::newRow("executable file 0755") << false << 0755 << 0600;
        QTest::newRow("set-id file 06755") << false << 06755 << 0600;
        QTest::newRow("read-only file 0444 stays read-only") << false << 0444 << 0400;
        QTest::newRow("private file 0600") << false << 0600 << 0600;
        QTest::newRow("directory 0755") << true << 0755 << 0700;
        QTest::newRow("private directory 0700") << true << 0700 << 0700;
    }
    void othersLoseEveryRight()
    {
        QFETCH(bool, directory);
        QFETCH(int, before);
        QFETCH(int, after);
        test::TestDataDirectory dir;
        const QString path = dir.root() + QStringLiteral("/entry");
        if (directory) {
            QVERIFY(QDir().mkdir(path));
            QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(before)) == 0);
        } else {
            createFile(path, before);
        }
        QCOMPARE(octal(modeOf(path)), octal(before));
        QCOMPARE(DataDirectory::makePrivate(path), QString());
        QCOMPARE(octal(modeOf(path)), octal(after));
    }

    void linksAndMissingPathsAreLeftAlone()
    {
        test::TestDataDirectory dir;
        // The link may point at anybody's file; its target keeps its mode.
        const QString target = dir.root() + QStringLiteral("/shared.txt");
        createFile(target, 0644);
        const QString link = dir.root() + QStringLiteral("/link.txt");
        QVERIFY(QFile::link(target, link));
        QCOMPARE(DataDirectory::makePrivate(link), QString());
        QCOMPARE(octal(modeOf(target)), QStringLiteral("0644"));
        QCOMPARE(DataDirectory::makePrivate(dir.root() + QStringLiteral("/missing")), QString());
    }

    // Under the common umask every file the program makes on a first start
    // would be readable by others unless it sees to it; files of an earlier
    // version, or copied in, lose what others could do with them at the next
    // start, and so does the directory.
    void aStartMakesAndLeavesOnlyPrivateFiles()
    {
        test::TestDataDirectory dir;
        const test::Umask common(022);
        const QString data = DataDirectory::path();
        QVERIFY(!QFile::exists(data));
        test::RecordingPrompter prompter;
        {
            MainController controller(prompter);
            QCOMPARE(controller.start(), MainController::StartResult::Running);
            QVERIFY(controller.store().queue().addToQueue(QStringLiteral("9876543210"), QStringLiteral("x"),
                                                          kRouteAuto));
            controller.debugLog().writeEvent(QStringLiteral(" Started"));
            for (const char *name : {"tavsms.mdb", "tavsms.mdb-wal", "tavsms.mdb-shm", "debug.txt", "tavsms.lock"})
                QVERIFY2(QFile::exists(QDir(data).filePath(QLatin1String(name))), name);
            expectAllPrivate();
        }

        QVERIFY(::chmod(QFile::encodeName(data).constData(), 0755) == 0);
        for (const QString &name : QDir(data).entryList(QDir::Files | QDir::Hidden | QDir::System))
            QVERIFY(::chmod(QFile::encodeName(QDir(data).filePath(name)).constData(), 0644) == 0);
        createFile(DataDirectory::databasePath() + QStringLiteral("-wal"), 0644);
        createFile(DataDirectory::databasePath() + QStringLiteral("-shm"), 0644);
        createFile(QDir(data).filePath(QStringLiteral("backup-1252026.txt")), 0755);
        createFile(QDir(data).filePath(QStringLiteral("notes.txt")), 0666);
        MainController controller(prompter);
        QCOMPARE(controller.start(), MainController::StartResult::Running);
        QCOMPARE(controller.store().queue().queuedCount(), 1);
        expectAllPrivate();
        QCOMPARE(prompter.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDataDirectory)
#include "tst_datadirectory.moc"
