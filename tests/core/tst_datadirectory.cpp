// The data directory and everything in it are the user's alone: 0700 and
// 0600 after a start, for new files and for files left with wider modes.
// debug.txt: created when missing, appended, never truncated, one CR LF line
// per event; a log that cannot be written is told once and the program goes on.
#include "DataDirectory.h"
#include "DebugLog.h"
#include "MainController.h"
#include "RecordingPrompter.h"
#include "TestDataDirectory.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

using namespace tavsms;
using test::modeOf;

namespace {

QString octal(int mode)
{
    return QStringLiteral("0%1").arg(mode, 0, 8);
}

void createFile(const QString &path, int mode, const QByteArray &content = "contents\r\n")
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
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

QByteArray read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// True when the line is the event, after the time stamp the log puts before it.
bool isEvent(const QByteArray &line, const QString &event)
{
    static const QString stamp = QStringLiteral("^\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d{2}:\\d{2} [AP]M ");
    const QRegularExpressionMatch m = QRegularExpression(stamp).match(QString::fromUtf8(line));
    return m.hasMatch() && line.mid(m.capturedLength()) == event.toUtf8();
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

    // Each line is flushed, readable while the program still runs. A value
    // carrying a line break cannot start a line of its own: CR and LF inside
    // a line are written as the two characters \r and \n.
    void createsAppendsAndNeverTruncates()
    {
        test::TestDataDirectory dir;
        const QString path = dir.root() + QStringLiteral("/debug.txt");
        {
            DebugLog log;
            QCOMPARE(log.open(path), QString());
            log.writeLine(QStringLiteral("first"));
        }
        QCOMPARE(read(path), QByteArray("first\r\n"));
        DebugLog log;
        QCOMPARE(log.open(path), QString());
        log.writeEvent(QStringLiteral(" Push URL Response - one\ntwo"));
        log.writeLine(QStringLiteral("Message= a\r\n10/1/2024 1:00:00 PM forged\rb\nc\\n"));
        const QList<QByteArray> lines = read(path).split('\n');
        QCOMPARE(lines.size(), 4); // three lines and nothing after the last break
        QCOMPARE(lines[0], QByteArray("first\r"));
        QVERIFY2(isEvent(lines[1], QStringLiteral("Push URL Response - one\\ntwo\r")), lines[1].constData());
        QCOMPARE(lines[2], QByteArray("Message= a\\r\\n10/1/2024 1:00:00 PM forged\\rb\\nc\\n\r"));

        // Once closed, no line tries the file again.
        log.close();
        QVERIFY(QFile::remove(path));
        log.writeLine(QStringLiteral("after close"));
        QVERIFY(!QFile::exists(path));
    }

    // The disk fills in the middle of a line (here the file-size limit, which
    // cuts a write short as a full disk does) and frees later: the cut line is
    // finished before anything else, the lines meanwhile are counted in one
    // line, and every line in the file is whole.
    void aLineCutShortIsFinishedAndTheLostAreCounted()
    {
        test::TestDataDirectory dir;
        const QString path = dir.root() + QStringLiteral("/debug.txt");
        DebugLog log;
        QStringList told;
        log.setTroubleHandler([&told](const QString &reason) { told << reason; });
        QCOMPARE(log.open(path), QString());
        log.writeLine(QStringLiteral("first"));

        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        {
            rlimit full = saved;
            full.rlim_cur = QFileInfo(path).size() + 10;
            const auto handler = std::signal(SIGXFSZ, SIG_IGN);
            setrlimit(RLIMIT_FSIZE, &full);
            const auto restore = qScopeGuard([&] {
                setrlimit(RLIMIT_FSIZE, &saved);
                std::signal(SIGXFSZ, handler);
            });
            log.writeLine(QStringLiteral("HTTP MSG Failed - the disk filled here"));
            log.writeLine(QStringLiteral("lost one"));
            log.writeLine(QStringLiteral("lost two"));
            QCOMPARE(told, QStringList{QStringLiteral("File too large")}); // told once, with the system's reason
            QCOMPARE(log.trouble(), told.first());
            QCOMPARE(log.droppedLines(), 2);
        }
        log.writeLine(QStringLiteral("HTTP MSG Sent - after"));
        QCOMPARE(told.size(), 2);
        QCOMPARE(told.last(), QString());
        QCOMPARE(log.droppedLines(), 0);

        const QList<QByteArray> lines = read(path).split('\n');
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], QByteArray("first\r"));
        QCOMPARE(lines[1], QByteArray("HTTP MSG Failed - the disk filled here\r"));
        QVERIFY2(isEvent(lines[2], QStringLiteral("2 lines could not be written\r")), lines[2].constData());
        QCOMPARE(lines[3], QByteArray("HTTP MSG Sent - after\r"));
        QVERIFY(lines[4].isEmpty());
    }

    // The program starts and runs without its log: no box, one line on
    // standard error naming the file, the status bar's text; the lines try
    // the file again, and once one goes in, the lost are counted in a line
    // and the all-clear is given.
    void theProgramGoesOnWithoutItsLog()
    {
        test::TestDataDirectory dir;
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        const QString path = DataDirectory::debugLogPath();
        QVERIFY(QDir().mkdir(path));
        test::RecordingPrompter prompter;
        MainController controller(prompter);
        QSignalSpy changes(&controller, &MainController::debugLogTroubleChanged);
        // What the program writes to standard error meanwhile.
        std::fflush(stderr);
        QTemporaryFile errors;
        QVERIFY(errors.open());
        const int savedError = ::dup(STDERR_FILENO);
        ::dup2(errors.handle(), STDERR_FILENO);
        const auto restoreError = [&] {
            std::fflush(stderr);
            ::dup2(savedError, STDERR_FILENO);
        };
        auto restoreAtEnd = qScopeGuard(restoreError);

        QCOMPARE(controller.start(), MainController::StartResult::Running);
        QVERIFY(controller.hasStore());
        const QString expected = QStringLiteral("The debug log %1 cannot be written: Is a directory").arg(path);
        QCOMPARE(controller.debugLogTrouble(), expected);
        for (int i = 0; i < 3; ++i)
            controller.debugLog().writeEvent(QStringLiteral(" Activating COM1 - "));
        restoreAtEnd.dismiss();
        restoreError();
        ::close(savedError);
        errors.seek(0);
        QCOMPARE(QString::fromLocal8Bit(errors.readAll()), expected + QLatin1Char('\n'));
        QCOMPARE(changes.size(), 1);
        QCOMPARE(changes.at(0).at(0).toString(), expected);
        QVERIFY2(prompter.count() == 0, qPrintable(prompter.dump()));

        QVERIFY(QDir().rmdir(path));
        controller.debugLog().writeEvent(QStringLiteral(" Activating COM1 - "));
        QCOMPARE(changes.size(), 2);
        QCOMPARE(changes.at(1).at(0).toString(), QString());
        QCOMPARE(controller.debugLogTrouble(), QString());
        const QList<QByteArray> lines = read(path).split('\n');
        QVERIFY2(lines.size() == 3 && isEvent(lines[0], QStringLiteral("3 lines could not be written\r"))
                     && isEvent(lines[1], QStringLiteral("Activating COM1 - \r")) && lines[2].isEmpty(),
                 read(path).constData());
    }
};

QTEST_GUILESS_MAIN(TestDataDirectory)
#include "tst_datadirectory.moc"
