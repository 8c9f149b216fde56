// `tavsms --copy-store-to URL`: a local file, its last rows still in its WAL,
// copied into an empty PostgreSQL database with its rows, ids and dates, the
// local workstation's rows under its name, and the file left byte for byte;
// a target that is not empty or a date that cannot be read stops the copy
// with the target as it was.
#include "PgServer.h"
#include "RecordingProgress.h"
#include "Store.h"
#include "StoreCopy.h"
#include "TestDataDirectory.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

using namespace tavsms;

namespace {

QByteArray sha256(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray("missing");
}

QStringList lines(Database &db, const QString &sql)
{
    QStringList out;
    Statement st = db.prepare(sql);
    while (st.next()) {
        QStringList row;
        for (int i = 0; i < st.columnCount(); ++i)
            row << (st.value(i).isNull() ? QStringLiteral("NULL") : st.value(i).toString());
        out << row.join(QLatin1Char('|'));
    }
    return out;
}

const QStringList kTables = {"q_logs", "incoming_logs", "groups", "groups_mem", "templates", "config_ports",
                             "config_InternetSMS", "auto_reply", "config_network"};

// A row or more in every table; the deleted message leaves the file's id counter past the highest id.
void fill(Database &db)
{
    db.execScript(QStringLiteral(R"SQL(
INSERT INTO q_logs (id, dated, com_port, outgoing_mobileNo, outgoing_message, delivery_time, status, sent_at, sent_from)
VALUES (7, '2026-03-01 09:15:00', 'COM2', '0712', 'It''s "quoted" – ünïcode ✓ \ tab' || char(9) || 'line' || char(10), '', 'Delivered',
        '2026-03-01 09:16:30', 'COM2'),
       (8, '2026-03-01 09:15:00', 'Auto', '0713', NULL, '2026-03-02 10:00:00', 'Pending', NULL, NULL),
       (9, '2026-03-01 09:15:00', 'COM1', '0714', 'gone', '', 'Pending', NULL, NULL);
DELETE FROM q_logs WHERE id = 9;
INSERT INTO incoming_logs (dated, com_port, incoming_date, incoming_mobileNo, incoming_message)
VALUES ('2026-03-01 09:20:00', 'COM2', '2026-03-01 09:19:58', '0712', 'STOP');
INSERT INTO groups (id, dated, group_name) VALUES (3, '2026-02-01 08:00:00', 'Ëlders');
INSERT INTO groups_mem (group_name, group_mem_name, group_mem_mobile, group_mem_subs, group_mem_subs_start)
VALUES (3, 'O''Neil', '0712', 1, '2026-02-01 00:00:00');
INSERT INTO templates (template_title, template_text) VALUES ('Hi', 'Dear {name},');
UPDATE config_ports SET portActive = 1, remarks = 'desk modem' WHERE softwarePortNo = 'COM2';
UPDATE config_InternetSMS SET TAVusername = 'acme';
INSERT INTO auto_reply (dated, auto_reply_keyword, com_port, auto_reply_response)
VALUES ('2026-03-01 00:00:00', 'JOIN', 'COM2', 'Welcome');
UPDATE config_network SET listenerPort = 9090;
)SQL"));
}

} // namespace

class TestStoreCopy : public QObject
{
    Q_OBJECT

private slots:
    void copiesEveryTableAndLeavesTheFile()
    {
        test::TestDataDirectory dir;
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        const QString path = dir.programDir() + QStringLiteral("/tavsms.mdb");
        QVERIFY(QDir().mkpath(dir.programDir()));
        // Kept open: its rows stay in the WAL, which the copy must read and leave alone.
        Store source(path);
        fill(source.db());
        QVERIFY(QFileInfo(path + QStringLiteral("-wal")).size() > 0);
        const QByteArray file = sha256(path), wal = sha256(path + QStringLiteral("-wal"));
        const QStringList files = QDir(dir.programDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        const QString url = test::PgServer::instance().freshDatabase();
        QProcess program;
        QSignalSpy finished(&program, &QProcess::finished);
        program.start(QStringLiteral(TAVSMS_BINARY),
                      {QStringLiteral("--copy-store-to"), url, QStringLiteral("--workstation"), QStringLiteral("desk-7")});
        QVERIFY(finished.wait(30000));
        const QString out = QString::fromUtf8(program.readAllStandardOutput());
        QVERIFY2(program.exitCode() == 0, qPrintable(out + QString::fromUtf8(program.readAllStandardError())));
        QVERIFY2(out.contains(QStringLiteral("q_logs: 2 rows")), qPrintable(out));

        QCOMPARE(sha256(path), file);
        QCOMPARE(sha256(path + QStringLiteral("-wal")), wal);
        QCOMPARE(QDir(dir.programDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), files);

        auto target = Database::connect(url);
        for (const QString &table : kTables)
            QVERIFY2(lines(*target, QStringLiteral("SELECT count(*) FROM %1").arg(table))
                         == lines(source.db(), QStringLiteral("SELECT count(*) FROM %1").arg(table)),
                     qPrintable(table));
        QCOMPARE(lines(*target, QStringLiteral("SELECT id, com_port, workstation, outgoing_message, delivery_time, "
                                               "sent_at FROM q_logs ORDER BY id")),
                 QStringList({"7|COM2|desk-7|It's \"quoted\" – ünïcode ✓ \\ tab\tline\n|NULL|2026-03-01 09:16:30",
                              "8|Auto||NULL|2026-03-02 10:00:00|NULL"}));
        QCOMPARE(lines(*target, QStringLiteral("SELECT sent_from, day, delivered FROM q_logs_delivered_days")),
                 QStringList{"COM2|2026-03-01|1"});
        QCOMPARE(lines(*target, QStringLiteral("SELECT g.id, g.group_name, m.group_mem_name, m.group_mem_subs_end "
                                               "FROM groups g JOIN groups_mem m ON m.group_name = g.id")),
                 QStringList{"3|Ëlders|O'Neil|NULL"});
        QCOMPARE(lines(*target, QStringLiteral("SELECT DISTINCT workstation FROM config_ports UNION ALL "
                                               "SELECT workstation || listenerPort FROM config_network UNION ALL "
                                               "SELECT remarks FROM config_ports WHERE portActive = 1 UNION ALL "
                                               "SELECT TAVusername FROM config_InternetSMS")),
                 QStringList({"desk-7", "desk-79090", "desk modem", "acme"}));
        // Ids go on past the one the file gave last (9, deleted).
        QCOMPARE(target->scalar(QStringLiteral("INSERT INTO q_logs (com_port) VALUES ('Auto') RETURNING id")).toInt(), 10);
    }

    void refused_data()
    {
        QTest::addColumn<QString>("sourceSql");
        QTest::addColumn<QString>("targetSql");
        QTest::addColumn<QString>("why");
        QTest::newRow("a target not empty") << QString() << QStringLiteral("CREATE TABLE notes (x text); "
                                                                           "INSERT INTO notes VALUES ('mine')")
                                            << QStringLiteral("it holds the tables notes");
        QTest::newRow("a date that cannot be read")
            << QStringLiteral("UPDATE groups_mem SET group_mem_subs_end = 'next spring'") << QString()
            << QStringLiteral("Table groups_mem, row 1: the group_mem_subs_end \"next spring\" is not a date");
    }

    void refused()
    {
        QFETCH(QString, sourceSql);
        QFETCH(QString, targetSql);
        QFETCH(QString, why);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tavsms.mdb"));
        {
            Store source(path);
            fill(source.db());
            if (!sourceSql.isEmpty())
                source.db().execScript(sourceSql);
        }
        const QString url = test::PgServer::instance().freshDatabase();
        auto target = Database::connect(url);
        if (!targetSql.isEmpty())
            target->execScript(targetSql);
        const QString before = QStringLiteral("SELECT tablename FROM pg_tables WHERE schemaname = current_schema()");
        const QStringList tables = lines(*target, before);

        test::RecordingProgress progress;
        const StoreCopy::Outcome outcome = StoreCopy(path, url, QStringLiteral("desk-7")).run(progress);
        QVERIFY2(outcome.error.contains(why), qPrintable(outcome.error));
        QVERIFY(outcome.error.endsWith(QStringLiteral("Nothing was written to %1.").arg(target->path())));
        QCOMPARE(lines(*target, before), tables);
        if (!tables.isEmpty())
            QCOMPARE(lines(*target, QStringLiteral("SELECT x FROM notes")), QStringList{"mine"});
        QCOMPARE(progress.begun, progress.ended);
    }
};

QTEST_GUILESS_MAIN(TestStoreCopy)
#include "tst_storecopy.moc"
