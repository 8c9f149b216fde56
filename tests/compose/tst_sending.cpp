// The sending screens' logic: the connection list and its length limit, the
// single send's checks, the group send in chunks (cancel, failure, closing).
// Dynamic messages (the merge of a template with three columns) and messages
// from a file (the column check; a row without a number stops the send
// there): the rows queued one line each, cut to the connection's limit.
// The template grid's model: what it shows, and that every committed change
// reaches `templates` or is told and undone. The scheduling screen's logic:
// what it shows on opening, the number box check, and Save from the form to
// the rows in q_logs, series and refusals.
#include "ComposeFixture.h"
#include "DynamicMessages.h"
#include "FileMessages.h"
#include "GroupSend.h"
#include "ManualClock.h"
#include "MergedSend.h"
#include "RecordingProgress.h"
#include "RoutedBulkSend.h"
#include "Scheduler.h"
#include "SingleSend.h"
#include "SmsPdu.h"
#include "TableFile.h"
#include "TemplateTableModel.h"
#include "Templates.h"
#include "Wait.h"

#include <QAbstractItemModelTester>
#include <QCoroSignal>
#include <QCoroTask>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

using namespace tavsms;
using namespace tavsms::test;
using Field = MessageComposer::Field;

namespace {
const QString kGsm = QStringLiteral("GSM Modem - TAV");
const QString kCdma = QStringLiteral("CDMA Mobile - Nokia");

// The number in "N of M messages were queued" or "N messages queued." of a box.
qint64 reportedCount(const QString &text)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("(\\d+) (?:of \\d+ )?messages? (?:were )?queued")).match(text);
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}
const QString kOperator = QStringLiteral("Ram's \"Best\"");
const QString kQuotedGroup = QStringLiteral("O'Neil \"Q\"");
const QString kTooEarly =
    QStringLiteral("Please enter some message and be sure to choose start time is greater then current time.");

// "D/M/YYYY H:MM" as the five lists hold it.
ScheduleTime timeOf(const QString &text)
{
    const QStringList p = text.split(QRegularExpression(QStringLiteral("[/ :]")));
    return {p[0], p[1], p[2], p[3], p[4]};
}

// Expected rows: "number yyyy-MM-dd HH:mm" for each time, seconds zero.
QStringList rows(const QString &number, const QStringList &times)
{
    QStringList out;
    for (const QString &t : times)
        out << number + QLatin1Char(' ') + t + QStringLiteral(":00");
    return out;
}

QString done(int queued)
{
    return QStringLiteral("Scheduling Complete.\n\n%1").arg(queued == 1 ? QStringLiteral("1 message queued.")
                                                                        : QStringLiteral("%1 messages queued.").arg(queued));
}

// One Save: the form as the operator leaves it, what the preview shows,
// and the rows and box it gives.
struct SaveCase
{
    QString frequency, start, end;
    QString to; // "none", "single:<number>" or "group:<name>"
    QString connection, message;
    QString setup; // what changes between opening and Save
    QString count, next; // the preview
    QStringList rows; // "number delivery_time", in queue order
    QString port, text; // of every row
    QString box;
};

} // namespace

Q_DECLARE_METATYPE(SaveCase)
using Rows = QList<MergedRow>;
Q_DECLARE_METATYPE(Rows)
static const Rows kMismatch{{"<mismatch>", ""}};

// A question stays open until the test answers it.
class HeldAnswer : public QObject, public Prompter
{
    Q_OBJECT
public:
    void notify(Icon, const QString &, const QString &) override {}
    QCoro::Task<bool> question(const QString &, const QString &, Icon, Default) override
    {
        co_return co_await qCoro(this, &HeldAnswer::answered);
    }

Q_SIGNALS:
    void answered(bool ok);
};

class TestSending : public QObject
{
    Q_OBJECT

    std::unique_ptr<ComposeFixture> f;
    std::unique_ptr<TemplateTableModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;

    TemplateTableModel &model() { return *m_model; }
    QString cell(int row, int column) { return model().data(model().index(row, column)).toString(); }
    bool type(int row, int column, const QString &text)
    {
        return model().setData(model().index(row, column), text, Qt::EditRole);
    }
    // The stored rows as "title|text", in the order they were added.
    QStringList stored()
    {
        QStringList rows;
        for (const Template &t : Templates(f->db()).all())
            rows << t.title + QLatin1Char('|') + t.text;
        return rows;
    }
    // The grid's rows above the new-row line, as "title|text".
    QStringList shown()
    {
        QStringList rows;
        for (int row = 0; row < model().newRow(); ++row)
            rows << cell(row, 0) + QLatin1Char('|') + cell(row, 1);
        return rows;
    }
    bool removeAnswering(int row, bool ok)
    {
        f->prompter.queueAnswer(ok);
        return QCoro::waitFor(model().removeTemplate(row));
    }
    void open()
    {
        m_model = std::make_unique<TemplateTableModel>(f->db(), f->prompter);
        m_tester = std::make_unique<QAbstractItemModelTester>(m_model.get(),
                                                              QAbstractItemModelTester::FailureReportingMode::QtTest);
        m_model->reload();
    }

    RecordingProgress m_progress; // of the merged and file sends
    std::unique_ptr<ManualClock> m_clock;
    std::unique_ptr<Scheduler> m_scheduler;

    void setClock(const QDateTime &now)
    {
        m_clock = std::make_unique<ManualClock>(now);
        m_clock->attach(f->state);
    }
    // The scheduling screen's logic on two ports and three groups, the clock set.
    void openScheduler()
    {
        setClock(QDateTime(QDate(2026, 1, 10), QTime(8, 0)));
        f->presentPort(0, QStringLiteral("Airtel"), kGsm);
        f->presentPort(1, kOperator, kGsm);
        const qint64 family = f->addGroup(QStringLiteral("Family"));
        for (const char *number : {"9000000003", " 9000000001 ", "9000000002"})
            f->addMember(family, QString::fromLatin1(number));
        f->addMember(f->addGroup(kQuotedGroup), QStringLiteral("9111111111"));
        f->addGroup(QStringLiteral("Empty"));
        m_scheduler = std::make_unique<Scheduler>(f->db(), f->store.queue(), f->state, f->prompter);
    }

    static QString data(const char *name) { return QStringLiteral(TAVSMS_TEST_DATA_DIR "/") + QLatin1String(name); }
    QString write(const char *name, const QByteArray &content)
    {
        const QString path = f->dir.root() + QLatin1Char('/') + QLatin1String(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write %s", name);
        return path;
    }
    FileMessages logic(int chunk = BulkQueue::kDefaultChunk)
    {
        return FileMessages(f->store, f->state, f->prompter, m_progress, chunk);
    }
    QString lastText() const { return f->prompter.entries().isEmpty() ? QString() : f->prompter.entries().last().text; }

private Q_SLOTS:
    void init() { f = std::make_unique<ComposeFixture>(); }
    void cleanup()
    {
        m_scheduler.reset();
        m_tester.reset();
        m_model.reset();
    }

    void connectionListAndLimit_data()
    {
        QTest::addColumn<QStringList>("ports"); // "index:operator:type[:absent]"
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("limit");
        QTest::newRow("auto, no port") << QStringList{} << "Auto" << 130 << 160;
        QTest::newRow("auto, GSM then CDMA") << QStringList{"0:Airtel:G", "2:Reliance:C"} << "Auto" << 160 << 130;
        QTest::newRow("auto, CDMA then GSM") << QStringList{"0:Reliance:C", "2:Airtel:G"} << "Auto" << 160 << 160;
        QTest::newRow("chosen CDMA port") << QStringList{"0:Airtel:G", "2:Reliance:C"} << "Reliance" << 160 << 130;
        QTest::newRow("chosen GSM port") << QStringList{"0:Reliance:C", "2:Airtel:G"} << "Airtel" << 130 << 160;
        QTest::newRow("gateway leaves 130") << QStringList{"0:Reliance:C"} << "WEBGATEWAY" << 130 << 130;
        QTest::newRow("gateway leaves 160") << QStringList{"0:Reliance:C"} << "WEBGATEWAY" << 160 << 160;
        QTest::newRow("operator with a quote") << QStringList{"1:O'Neil \"CDMA\":C"} << "O'Neil \"CDMA\"" << 160 << 130;
        QTest::newRow("operator gone") << QStringList{} << "Gone" << 130 << 130;
        QTest::newRow("a port missing at the last initialisation") << QStringList{"0:Airtel:G:absent", "1:Jio:G"}
                                                                   << "Auto" << 130 << 160;
    }
    void connectionListAndLimit()
    {
        QFETCH(QStringList, ports);
        QFETCH(QString, entry);
        QFETCH(int, current);
        QFETCH(int, limit);
        QStringList names{"Auto", "WEBGATEWAY"};
        for (const QString &p : ports) {
            const QStringList parts = p.split(QLatin1Char(':'));
            f->presentPort(parts[0].toInt(), parts[1], parts[2] == QLatin1String("C") ? kCdma : kGsm);
            f->state.port(parts[0].toInt()).present = parts.size() < 4;
            if (parts.size() < 4)
                names << parts[1];
        }
        SingleSend send(f->store, f->state, f->prompter);
        const ComposeState s = send.load();
        QCOMPARE(s.modems, names);
        QCOMPARE(s.groups, QStringList{"Groups Not Available"});
        QCOMPARE(send.lengthLimit(entry, LengthLimit::ofCharacters(current)), LengthLimit::ofCharacters(limit));
        QCOMPARE(f->prompter.count(), 0);
    }

    // A port in PDU mode takes up to ten parts; CDMA ignores the choice and
    // the gateway never counts parts.
    void pduPortsCountParts()
    {
        const LengthLimit parts = LengthLimit::ofParts();
        const LengthLimit gsm = LengthLimit::ofCharacters(160);
        const LengthLimit cdma = LengthLimit::ofCharacters(130);
        f->presentPort(0, QStringLiteral("Airtel"), kGsm);
        f->presentPort(1, QStringLiteral("Jio"), kGsm, true);
        f->presentPort(2, QStringLiteral("Reliance"), kCdma, true);
        SingleSend send(f->store, f->state, f->prompter);
        QCOMPARE(send.lengthLimit(QStringLiteral("Jio"), gsm), parts);
        QCOMPARE(send.lengthLimit(QStringLiteral("Airtel"), parts), gsm);
        QCOMPARE(send.lengthLimit(QStringLiteral("Reliance"), parts), cdma);
        QCOMPARE(send.lengthLimit(QStringLiteral("Auto"), gsm), cdma); // the last present port decides, as before
        QCOMPARE(send.lengthLimit(QStringLiteral("WEBGATEWAY"), parts), gsm);
        QCOMPARE(send.lengthLimit(QStringLiteral("WEBGATEWAY"), cdma), cdma);
        // Auto counts parts only when whichever port takes the message can carry them.
        f->state.port(2).present = false;
        QCOMPARE(send.lengthLimit(QStringLiteral("Auto"), gsm), gsm);
        f->state.port(0).pdu = true;
        QCOMPARE(send.lengthLimit(QStringLiteral("Auto"), gsm), parts);

        // Texts queued from files are cut to what ten parts hold, never inside a character.
        const QString devanagari = QStringLiteral("नमस्ते दुनिया ").repeated(80);
        const QString cut = RoutedBulkSend::queuedText(devanagari, parts);
        QCOMPARE(SmsPdu::plan(cut).parts, SmsPdu::kMaxParts);
        QVERIFY(devanagari.startsWith(cut));
        QCOMPARE(SmsPdu::plan(cut + devanagari.at(cut.size())).parts, 0);
        const QString smiles = QStringLiteral("\U0001F600").repeated(400);
        const QString smilesCut = RoutedBulkSend::queuedText(smiles, parts);
        QVERIFY(smilesCut.size() % 2 == 0 && smilesCut.size() > 0 && smilesCut.size() < smiles.size());
        QCOMPARE(RoutedBulkSend::queuedText(QStringLiteral("short\ntext"), parts), QStringLiteral("short text"));
        QCOMPARE(RoutedBulkSend::queuedText(QString(200, QLatin1Char('x')), gsm), QString(160, QLatin1Char('x')));
    }

    void singleSendChecksAndQueues_data()
    {
        QTest::addColumn<QString>("numberBox");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("queued"); // the row, or the error box's text
        QTest::addColumn<int>("focus");
        QTest::newRow("picked from the drop-down") << "9876543210 -- Ram -- Kumar" << "hi"
                                                   << "9876543210|COM2|hi" << int(Field::None);
        QTest::newRow("blanks around") << "  9876543210 " << "hi" << "9876543210|COM2|hi" << int(Field::None);
        QTest::newRow("several lines") << "9876543210" << "Dear all,\nmeet at 5\r\n pm \n"
                                       << "9876543210|COM2|Dear all, meet at 5  pm" << int(Field::None);
        for (const char *number : {"987654321", "98765432101", "98765abcde"})
            QTest::addRow("number %s", number) << number << "hi" << "Please enter a valid number."
                                               << int(Field::Number);
        QTest::newRow("only spaces") << "9876543210" << "   " << "Please enter some message." << int(Field::Message);
    }
    void singleSendChecksAndQueues()
    {
        QFETCH(QString, numberBox);
        QFETCH(QString, message);
        QFETCH(QString, queued);
        QFETCH(int, focus);
        f->presentPort(1, QStringLiteral("Idea"), kGsm);
        SingleSend send(f->store, f->state, f->prompter);
        QCOMPARE(int(send.send(numberBox, message, QStringLiteral("Idea"))), focus);
        QCOMPARE(f->prompter.count(), 1);
        if (focus == int(Field::None)) {
            QCOMPARE(f->rows(), QStringList{queued});
            QCOMPARE(f->prompter.entries().first().text, QStringLiteral("Message Queued for Delivery."));
        } else {
            QCOMPARE(f->queued(), 0);
            QVERIFY2(f->prompter.contains(QStringLiteral("Error"), queued), qPrintable(f->prompter.dump()));
        }
    }

    void groupChoiceFillsTheNumberList()
    {
        const qint64 id = f->addGroup(QStringLiteral("Ram's \"friends\""));
        f->addMember(id, QStringLiteral("9876543210"), QStringLiteral("Ram"));
        f->addMember(id, QStringLiteral("9876543211"), QStringLiteral("   "));
        f->addMember(id, QStringLiteral("  "), QStringLiteral("No number"));
        f->addMember(f->addGroup(QStringLiteral("other")), QStringLiteral("9000000000"), QStringLiteral("X"));
        f->presentPort(0, QStringLiteral("Reliance"), kCdma);
        SingleSend send(f->store, f->state, f->prompter);
        const SingleSend::GroupChoice choice =
            send.chooseGroup(QStringLiteral("Ram's \"friends\""), QStringLiteral("Auto"), LengthLimit::ofCharacters(160));
        QCOMPARE(choice.numbers, (QStringList{"9876543210 -- Ram", "9876543211 -- N/A"}));
        QCOMPARE(choice.limit, LengthLimit::ofCharacters(130));
        QCOMPARE(send.send(choice.numbers.at(1), QStringLiteral("hi"), QStringLiteral("Auto")), Field::None);
        // An operator whose settings went meanwhile queues nothing (the group send's test reads the box).
        QCOMPARE(send.send(choice.numbers.at(1), QStringLiteral("hi"), QStringLiteral("Idea")), Field::Modem);
        QCOMPARE(f->rows(), QStringList{"9876543211|Auto|hi"});
    }

    void templatesFillTheMessage()
    {
        Templates templates(f->db());
        templates.add(QStringLiteral("Greeting"), QStringLiteral("first"));
        templates.add(QStringLiteral("Greeting"), QStringLiteral("second"));
        const qint64 quoted = templates.add(QStringLiteral("It's \"on\""), QStringLiteral("quoted"));
        SingleSend send(f->store, f->state, f->prompter);
        QCOMPARE(send.load().templateTitles, (QStringList{"Greeting", "Greeting", "It's \"on\""}));
        QCOMPARE(send.templateText(QStringLiteral("Greeting")), std::optional<QString>(QStringLiteral("first")));
        QCOMPARE(send.templateText(QStringLiteral("Templates")), std::nullopt);
        QCOMPARE(f->prompter.count(), 0);

        templates.remove(quoted); // deleted while the screen shows it
        QCOMPARE(send.templateText(QStringLiteral("It's \"on\"")), std::nullopt);
        QCOMPARE(f->prompter.count(), 1);
    }

    void groupSendQueuesEveryMemberWithANumber()
    {
        const qint64 id = f->addGroup(QStringLiteral("Staff"));
        f->addMember(id, QStringLiteral("9876543210"), QStringLiteral("A"));
        f->addMember(id, QStringLiteral(" 9876543211 "));
        f->addMember(id, QString());
        f->addMember(id, QStringLiteral("9876543212"));
        RecordingProgress progress;
        GroupSend send(f->store, f->state, f->prompter, progress, 2);
        QCOMPARE(QCoro::waitFor(send.send(QStringLiteral("Staff"), QStringLiteral("Hi\nall"), QStringLiteral("Auto"))),
                 Field::None);
        QCOMPARE(f->rows(), (QStringList{"9876543210|Auto|Hi all", "9876543211|Auto|Hi all", "9876543212|Auto|Hi all"}));
        QCOMPARE(progress.steps, (QList<qint64>{2, 3}));
        QVERIFY(progress.total_ == 3 && progress.ended == 1);
        QCOMPARE(f->prompter.count(), 1);
        QCOMPARE(f->prompter.entries().first().text, QStringLiteral("Message(s) Queued for Delivery.\n\n3 messages queued."));
    }

    void groupSendRefusals_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("modem");
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("focus");
        QTest::newRow("no members") << "Empty" << "hi" << "Auto"
                                    << "Group is empty. Please add some mobile numbers in it." << int(Field::None);
        QTest::newRow("deleted group") << "Gone" << "hi" << "Auto"
                                       << "The group \"Gone\" no longer exists. Open the screen again for the current "
                                          "list of groups."
                                       << int(Field::Group);
        QTest::newRow("no message") << "Staff" << " \n " << "Auto" << "Please enter some message."
                                    << int(Field::Message);
        QTest::newRow("operator gone") << "Staff" << "hi" << "Idea"
                                       << "No modem port is set up as \"Idea\" any more. Choose another connection, "
                                          "or open the screen again for the current list."
                                       << int(Field::Modem);
        QTest::newRow("no groups") << "Groups Not Available" << "hi" << "Auto" << "" << int(Field::None);
    }
    void groupSendRefusals()
    {
        QFETCH(QString, group);
        QFETCH(QString, message);
        QFETCH(QString, modem);
        QFETCH(QString, box);
        QFETCH(int, focus);
        f->addGroup(QStringLiteral("Empty"));
        f->addMember(f->addGroup(QStringLiteral("Staff")), QStringLiteral("9876543210"));
        RecordingProgress progress;
        GroupSend send(f->store, f->state, f->prompter, progress);
        QCOMPARE(int(QCoro::waitFor(send.send(group, message, modem))), focus);
        QCOMPARE(f->queued(), 0);
        QCOMPARE(progress.begun, 0);
        QCOMPARE(f->prompter.entries().value(0).text, box); // none: empty
    }

    // The operator cancels a big send part way: what the box says was queued
    // is what the queue holds, and the loop ran between chunks.
    void cancelledBigSendTellsTheTruth()
    {
        f->addMembers(f->addGroup(QStringLiteral("Everyone")), 5000);
        RecordingProgress progress;
        progress.cancelAt = 1500;
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
        ticker.start(0);
        GroupSend send(f->store, f->state, f->prompter, progress, 500);
        QCoro::waitFor(send.send(QStringLiteral("Everyone"), QStringLiteral("Sale today"), QStringLiteral("Auto")));
        ticker.stop();
        const qint64 rows = f->queued();
        QVERIFY(rows >= 1500 && rows < 5000);
        QCOMPARE(f->prompter.count(), 1);
        QCOMPARE(f->prompter.entries().first().title, QStringLiteral("Cancelled"));
        QCOMPARE(reportedCount(f->prompter.entries().first().text), rows);
        QVERIFY(f->prompter.entries().first().text.contains(QLatin1String("of 5000")));
        QVERIFY2(ticks >= rows / 500 - 1, qPrintable(QString::number(ticks)));
    }

    // A failed insert: a statement refused alone keeps the rows before it; a
    // failure that rolls the engine's transaction back (a full disk) loses
    // that chunk, as does a chunk whose commit is refused. Either way the box
    // counts what the queue holds, and no later chunk is queued.
    void failedInsertsAreCountedExactly_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<qint64>("expected");
        QTest::addColumn<QString>("reason");
        const QString refuse = QStringLiteral("CREATE TRIGGER full BEFORE INSERT ON q_logs "
                                              "WHEN (SELECT count(*) FROM q_logs) >= 25 "
                                              "BEGIN SELECT RAISE(%1, 'database or disk is full'); END;");
        QTest::newRow("statement refused") << refuse.arg(QStringLiteral("ABORT")) << qint64(25)
                                           << "The message to 9000000025 could not be queued";
        QTest::newRow("transaction lost") << refuse.arg(QStringLiteral("ROLLBACK")) << qint64(20)
                                          << "The message to 9000000025 could not be queued";
        // A deferred constraint broken by the 25th row is found at the commit.
        QTest::newRow("commit refused")
            << QStringLiteral("PRAGMA foreign_keys = ON; CREATE TABLE parent (id INTEGER PRIMARY KEY); "
                              "CREATE TABLE child (p INTEGER REFERENCES parent (id) DEFERRABLE INITIALLY DEFERRED); "
                              "CREATE TRIGGER full AFTER INSERT ON q_logs WHEN new.outgoing_mobileNo = '9000000025' "
                              "BEGIN INSERT INTO child VALUES (1); END;")
            << qint64(20) << "10 messages could not be queued: FOREIGN KEY constraint failed";
    }
    void failedInsertsAreCountedExactly()
    {
        QFETCH(QString, fault);
        QFETCH(qint64, expected);
        QFETCH(QString, reason);
        f->addMembers(f->addGroup(QStringLiteral("Everyone")), 50);
        f->db().execScript(fault);
        RecordingProgress progress;
        GroupSend send(f->store, f->state, f->prompter, progress, 10);
        QCoro::waitFor(send.send(QStringLiteral("Everyone"), QStringLiteral("hi"), QStringLiteral("Auto")));
        QCOMPARE(f->queued(), expected);
        QCOMPARE(f->prompter.count(), 1);
        const RecordingPrompter::Entry box = f->prompter.entries().first();
        QCOMPARE(box.icon, Prompter::Icon::Critical);
        QCOMPARE(reportedCount(box.text), expected);
        QVERIFY2(box.text.contains(reason), qPrintable(box.text));
        QVERIFY(!f->db().inTransaction());
        // The screen is still usable once the trouble has gone.
        f->db().execScript(QStringLiteral("DROP TRIGGER full;"));
        f->prompter.clear();
        QCoro::waitFor(send.send(QStringLiteral("Everyone"), QStringLiteral("again"), QStringLiteral("Auto")));
        QCOMPARE(f->queued(), expected + 50);
    }

    // The screen closes (its logic is destroyed) while a send waits between
    // chunks: the chunks committed stay, and nothing resumes into the gone object.
    void closingDuringASendStopsIt()
    {
        f->addMembers(f->addGroup(QStringLiteral("Everyone")), 50);
        RecordingProgress progress;
        auto send = std::make_unique<GroupSend>(f->store, f->state, f->prompter, progress, 10);
        progress.onAdvance = [&](qint64 done) {
            if (done == 20)
                QTimer::singleShot(0, [&] { send.reset(); });
        };
        auto task = send->send(QStringLiteral("Everyone"), QStringLiteral("hi"), QStringLiteral("Auto"));
        WAIT_VERIFY(!send);
        // The next chunk's turn was posted before this one: once this has
        // come, that one has come too, or never will.
        bool turned = false;
        QTimer::singleShot(0, [&] { turned = true; });
        WAIT_VERIFY(turned);
        QCOMPARE(f->queued(), 20);
        QCOMPARE(progress.ended, 0);
        QCOMPARE(f->prompter.count(), 0);
        QVERIFY(!task.isReady());
    }

    void merge_data()
    {
        QTest::addColumn<QString>("templ");
        QTest::addColumn<QString>("numbers");
        QTest::addColumn<QString>("data2");
        QTest::addColumn<QString>("data3");
        QTest::addColumn<Rows>("rows"); // kMismatch: the columns' lines do not match
        const QString hi = QStringLiteral("Hi @@data1@@, @@data2@@ says @@data3@@");
        QTest::newRow("two rows") << hi << "9876543210\n9876543211" << "A\nB" << "x\r\ny"
                                  << Rows{{"9876543210", "Hi 9876543210, A says x"}, {"9876543211", "Hi 9876543211, B says y"}};
        QTest::newRow("an empty column has no lines") << "@@Data1@@ and @@data1@@" << "1" << "" << "" << kMismatch;
        QTest::newRow("a trailing line break in one column") << "x" << "9876543210\n" << "A" << "B" << kMismatch;
        QTest::newRow("capital D stays") << "@@Data1@@ and @@data1@@" << "1" << "b" << "c"
                                         << Rows{{"1", "@@Data1@@ and 1"}};
        QTest::newRow("a value holding a later placeholder") << "@@data2@@" << "1" << "say @@data3@@" << "hello"
                                                             << Rows{{"1", "say hello"}};
        QTest::newRow("empty lines replace by nothing") << "[@@data1@@|@@data2@@|@@data3@@]" << "1\n" << "a\n" << "b\n"
                                                        << Rows{{"1", "[1|a|b]"}, {"", "[||]"}};
        QTest::newRow("three empty columns") << hi << "" << "" << "" << Rows{};
    }
    void merge()
    {
        QFETCH(QString, templ);
        QFETCH(QString, numbers);
        QFETCH(QString, data2);
        QFETCH(QString, data3);
        QFETCH(Rows, rows);
        DynamicMessages logic(f->db(), f->prompter);
        const std::optional<Rows> merged = logic.mergeData({templ, numbers, data2, data3});
        QCOMPARE(merged.value_or(kMismatch), rows);
        QCOMPARE(f->prompter.entries().value(0).text,
                 rows == kMismatch ? QStringLiteral("Length of data in Grid1 and Grid2 and Grid3 does not match. Please "
                                                    "check the data again! Number of lines in Grid1, Grid2 and Grid3 "
                                                    "should be same.")
                                   : QString());
    }

    void groupsAddTheirNumbersBelow()
    {
        const qint64 a = f->addGroup(QStringLiteral("A team"));
        f->addMember(a, QStringLiteral("9000000001"));
        f->addMember(a, QStringLiteral("  "));
        f->addMember(a, QStringLiteral("9000000002"));
        f->addMember(f->addGroup(QStringLiteral("B team")), QStringLiteral("9000000003"));
        DynamicMessages logic(f->db(), f->prompter);
        const DynamicMessages::State s = logic.load();
        QCOMPARE(s.groups, (QStringList{"A team", "B team"}));
        QCOMPARE(s.form.numbers, QStringLiteral("9876543210\n9000000001\n9000000002")); // the first group's, no blank line
        QCOMPARE(s.length, QStringLiteral("Msg Length: %1").arg(s.form.templateText.size()));
        QCOMPARE(logic.chooseGroup(QStringLiteral("B team"), s.form.numbers),
                 QStringLiteral("9876543210\n9000000001\n9000000002\n9000000003"));
        QCOMPARE(logic.chooseGroup(QStringLiteral("Groups Not Available"), QStringLiteral("x")), QStringLiteral("x"));
    }

    void sendCutsAndTrims_data()
    {
        QTest::addColumn<QString>("modem");
        QTest::addColumn<int>("limit");
        QTest::newRow("GSM port") << "Airtel" << 160;
        QTest::newRow("CDMA port") << "Reliance" << 130;
        QTest::newRow("gateway") << "WEBGATEWAY" << 160;
    }
    void sendCutsAndTrims()
    {
        QFETCH(QString, modem);
        QFETCH(int, limit);
        f->presentPort(0, QStringLiteral("Airtel"), kGsm);
        f->presentPort(1, QStringLiteral("Reliance"), kCdma);
        const QString long200 = QString(199, QLatin1Char('m')) + QLatin1Char('!');
        const Rows rows{{"919876543210", "Hello\nthere "},
                        {" 09876543211", long200},
                        {"12345", "short"},
                        {"  ", "nobody"}};
        MergedSend send(f->store, f->state, f->prompter, m_progress, 2);
        QCoro::waitFor(send.send(rows, modem));
        const QString route = modem == QLatin1String("WEBGATEWAY") ? modem
                              : modem == QLatin1String("Airtel")   ? QStringLiteral("COM1")
                                                                   : QStringLiteral("COM2");
        QCOMPARE(f->rows(), (QStringList{"9876543210|" + route + "|Hello there",
                                         "9876543211|" + route + "|" + long200.left(limit), "12345|" + route + "|short"}));
        QCOMPARE(f->prompter.entries().last().title, QStringLiteral("Success"));
        QCOMPARE(f->prompter.entries().last().text,
                 QStringLiteral("Messages has been sent to Queue\n\n3 messages queued. 1 row without a number left out."));
        QCoro::waitFor(send.send({}, modem)); // nothing to send still says so
        QCOMPARE(lastText(), QStringLiteral("Messages has been sent to Queue\n\n0 messages queued."));
    }

    void columnCheck_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QString>("refusal"); // empty: accepted
        QTest::newRow("Phone, Message") << QByteArray("Phone,Message") << "";
        QTest::newRow("capitals and lower case") << QByteArray("PHONE,message,extra") << "";
        QTest::newRow("second column wrong")
            << QByteArray("Phone,Text")
            << "Field No.2 (message) doesn't match. Please change the Row1 - Column2 data to Message in data File.";
        QTest::newRow("first column wrong")
            << QByteArray("Mobile,Message")
            << "Field No.1 (Phone) doesn't match. Please change the Row1 - Column1 data to Phone in data File.";
        QTest::newRow("one column only")
            << QByteArray("Phone")
            << "Field No.2 (message) doesn't match. Please change the Row1 - Column2 data to Message in data File.";
    }
    void columnCheck()
    {
        QFETCH(QByteArray, header);
        QFETCH(QString, refusal);
        FileMessages messages = logic();
        const auto file = messages.importData(write("in.txt", header + "\r\n9876543210,hi\r\n"));
        QCOMPARE(file == nullptr, !refusal.isEmpty());
        QCOMPARE(lastText(), refusal);
        if (file)
            QCOMPARE(file->rowCount(), 1);
    }

    // The spreadsheet saved by a real program: a cell with a line break, a
    // 200-character message, an apostrophe and an empty Phone in the fifth row.
    void spreadsheetStopsAtTheRowWithoutAPhone_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("limit");
        QTest::newRow("GSM") << "GSM Modem - TAV" << 160;
        QTest::newRow("CDMA") << "CDMA Mobile - Nokia" << 130;
    }
    void spreadsheetStopsAtTheRowWithoutAPhone()
    {
        QFETCH(QString, port);
        QFETCH(int, limit);
        f->presentPort(0, QStringLiteral("Phone1"), port);
        FileMessages messages = logic(2);
        QVERIFY(messages.importData(data("dynamic.xls")));
        QCoro::waitFor(messages.send(data("dynamic.xls"), QStringLiteral("Auto")));
        QCOMPARE(f->rows(), (QStringList{"9876543210|Auto|Dear Asha, your order 1042 is ready.",
                                         "9876543211|Auto|Line one Line two",
                                         "9876543212|Auto|" + QString(limit, QLatin1Char('x')),
                                         "9876543213|Auto|It's done"}));
        QCOMPARE(lastText(), QStringLiteral("Error Occured: File is not accessiable; Import - Row 6 has no Phone.\n\n"
                                          "4 messages queued. The rows after it were not."));
    }

    void textFileQueuesEveryRow()
    {
        FileMessages messages = logic();
        QCoro::waitFor(messages.send(data("dynamic.txt"), QStringLiteral("WEBGATEWAY")));
        QCOMPARE(f->rows(), (QStringList{"9876543210|WEBGATEWAY|Dear Asha, your order 1042 is ready.",
                                         "9876543211|WEBGATEWAY|Line one Line two"}));
        QCOMPARE(lastText(), QStringLiteral("Message(s) Queued for Delivery.\n\n2 messages queued."));
    }

    void unusableFilesQueueNothing_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("text");
        QTest::newRow("header only") << "header.txt" << "Please add some mobile numbers in it.";
        QTest::newRow("missing") << "none.txt" << "Error Occured: File is not accessiable; ";
        QTest::newRow("no Message column") << "nomessage.txt"
                                           << "Error Occured: File is not accessiable; Import - The file has no "
                                              "Message column.";
    }
    void unusableFilesQueueNothing()
    {
        QFETCH(QString, path);
        QFETCH(QString, text);
        write("header.txt", "Phone,Message\r\n");
        write("nomessage.txt", "Phone,Text\r\n9876543210,hi\r\n");
        FileMessages messages = logic();
        QCoro::waitFor(messages.send(f->dir.root() + QLatin1Char('/') + path, QStringLiteral("Auto")));
        QCOMPARE(f->queued(), 0);
        QCOMPARE(f->prompter.count(), 1);
        QVERIFY2(lastText().startsWith(text), qPrintable(lastText()));
    }
    // The new-row line: empty adds nothing; a title adds a template with an
    // empty text, the row staying where it is above a fresh new-row line, and
    // its text then updates that template; a text alone adds one without a
    // title. Quotes and SQL are stored as typed, and shown again on opening.
    void typingIntoTheGridAddsAndUpdatesTemplates()
    {
        Templates(f->db()).add(QStringLiteral("Offer"), QStringLiteral("10% off"));
        open();
        QCOMPARE(model().headerData(1, Qt::Vertical).toString(), QStringLiteral("*"));
        QVERIFY(model().flags(model().index(1, 1)) & Qt::ItemIsEditable);
        QVERIFY(!type(1, 0, QString()));
        QCOMPARE(model().rowCount(), 2);

        const QString title = QStringLiteral("Don't \"stop\"");
        const QString text = QStringLiteral("It's 5 o'clock'); DROP TABLE templates;--");
        QVERIFY(type(1, 0, title));
        QCOMPARE(model().headerData(1, Qt::Vertical).toString(), QStringLiteral("2"));
        QCOMPARE(QStringList({cell(2, 0), model().headerData(2, Qt::Vertical).toString()}), QStringList({"", "*"}));
        QVERIFY(type(1, 1, text));
        QVERIFY(type(2, 1, QStringLiteral("Meeting at 5")));
        QVERIFY(type(0, 1, QStringLiteral("20% off")));
        const QStringList expected{"Offer|20% off", title + QLatin1Char('|') + text, "|Meeting at 5"};
        QCOMPARE(stored(), expected);
        QCOMPARE(shown(), expected);
        open();
        QCOMPARE(shown(), expected);
        QVERIFY(f->prompter.entries().isEmpty());
    }

    void deletingAsksOfferingCancelAndOnlyOkDeletes()
    {
        Templates templates(f->db());
        templates.add(QStringLiteral("A"), QStringLiteral("one"));
        templates.add(QStringLiteral("B"), QStringLiteral("two"));
        templates.add(QString(), QStringLiteral("three"));
        open();
        QVERIFY(!removeAnswering(1, false));
        const test::RecordingPrompter::Entry asked = f->prompter.entries().value(0);
        QVERIFY(asked.question && asked.preset == Prompter::Default::Cancel);
        QCOMPARE(asked.title + QLatin1Char('|') + asked.text,
                 QStringLiteral("Delete Template|Are you sure to delete the template \"B\"?"));
        QCOMPARE(stored().size(), 3);

        QVERIFY(removeAnswering(1, true));
        QCOMPARE(shown(), (QStringList{"A|one", "|three"}));
        QCOMPARE(model().rowCount(), 3);
        QVERIFY(removeAnswering(1, true)); // a template without a title is named otherwise
        QCOMPARE(f->prompter.entries().last().text, QStringLiteral("Are you sure to delete this template?"));
        QCOMPARE(stored(), QStringList{"A|one"});

        // The new-row line is no template: nothing is asked.
        f->prompter.clear();
        QVERIFY(!removeAnswering(model().newRow(), true));
        QVERIFY(f->prompter.entries().isEmpty());
    }

    void theTemplateAskedAboutIsDeletedEvenIfTheGridChangedMeanwhile()
    {
        Templates templates(f->db());
        const qint64 first = templates.add(QStringLiteral("A"), QStringLiteral("one"));
        templates.add(QStringLiteral("B"), QStringLiteral("two"));
        templates.add(QStringLiteral("C"), QStringLiteral("three"));
        HeldAnswer held;
        TemplateTableModel grid(f->db(), held);
        grid.reload();

        QCoro::Task<bool> removing = grid.removeTemplate(1);
        f->db().exec(QStringLiteral("DELETE FROM templates WHERE id = ?"), {first});
        grid.reload(); // B moves up to row 0 while the question is open
        emit held.answered(true);
        QVERIFY(QCoro::waitFor(std::move(removing)));
        QCOMPARE(stored(), QStringList{QStringLiteral("C|three")});
        QCOMPARE(grid.rowCount(), 2);
        QCOMPARE(grid.data(grid.index(0, 0)).toString(), QStringLiteral("C"));
    }

    void aTemplateDeletedElsewhereIsToldOnEditAndTheGridShowsWhatIsStored()
    {
        Templates templates(f->db());
        const qint64 gone = templates.add(QStringLiteral("Old"), QStringLiteral("text"));
        templates.add(QStringLiteral("Kept"), QStringLiteral("kept text"));
        open();

        f->db().exec(QStringLiteral("DELETE FROM templates WHERE id = ?"), {gone});
        templates.add(QStringLiteral("Added elsewhere"), QStringLiteral("x"));
        QVERIFY(!type(0, 1, QStringLiteral("changed")));
        QCOMPARE(f->prompter.count(), 1);
        QCOMPARE(f->prompter.entries().first().title, QStringLiteral("Template Not Found"));
        QVERIFY2(f->prompter.entries().first().text.contains(QStringLiteral("\"Old\" has been deleted meanwhile")),
                 qPrintable(f->prompter.dump()));
        QCOMPARE(stored(), (QStringList{QStringLiteral("Kept|kept text"), QStringLiteral("Added elsewhere|x")}));
        WAIT_COMPARE(shown(), stored());

        // Deleting one that went meanwhile: gone all the same, no error.
        f->prompter.clear();
        f->db().exec(QStringLiteral("DELETE FROM templates WHERE template_title = 'Kept'"));
        QVERIFY(removeAnswering(0, true));
        QCOMPARE(f->prompter.count(), 1); // the question only
        QCOMPARE(shown(), QStringList{QStringLiteral("Added elsewhere|x")});
    }

    // Each failing write is told and the grid shows what is stored.
    void aFailingDatabaseIsToldAndNothingBreaks()
    {
        Templates(f->db()).add(QStringLiteral("A"), QStringLiteral("one"));
        open();
        // Empty when one critical box (after the question, for a delete) began so; else what was shown.
        const auto told = [this](const QString &start, int boxes = 1) {
            const bool ok = f->prompter.count() == boxes && f->prompter.entries().last().icon == Prompter::Icon::Critical
                            && f->prompter.entries().last().text.startsWith(start);
            const QString shown = ok ? QString() : f->prompter.dump();
            f->prompter.clear();
            return shown;
        };
        // Deletes fail, reads still work.
        f->db().execScript(QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON templates "
                                          "BEGIN SELECT RAISE(ABORT, 'templates are kept'); END"));
        f->prompter.queueAnswer(true);
        QVERIFY(!QCoro::waitFor(model().removeTemplate(0)));
        QCOMPARE(told(QStringLiteral("The template could not be deleted: "), 2), QString());
        QCOMPARE(shown(), QStringList{"A|one"});

        f->db().execScript(QStringLiteral("DROP TABLE templates"));
        QVERIFY(!type(0, 1, QStringLiteral("changed")));
        QCOMPARE(told(QStringLiteral("The template could not be saved: ")), QString());
        WAIT_COMPARE(model().rowCount(), 1); // what is stored: nothing readable
        QVERIFY(!type(0, 0, QStringLiteral("New")));
        QCOMPARE(told(QStringLiteral("The template could not be added: ")), QString());
        QCOMPARE(model().rowCount(), 1);
        model().reload();
        QCOMPARE(told(QStringLiteral("The templates could not be read: ")), QString());
    }

    void opensWithTodayOnceAndAuto()
    {
        openScheduler();
        setClock(QDateTime(QDate(2026, 3, 17), QTime(14, 20, 5)));
        const SchedulerState s = m_scheduler->load();
        QCOMPARE(s.form.frequency, QStringLiteral("Once"));
        for (const ScheduleTime &t : {s.form.start, s.form.end})
            QCOMPARE(QStringList({t.day, t.month, t.year, t.hour, t.minute}), QStringList({"17", "3", "2026", "0", "00"}));
        QCOMPARE(s.form.recipient, Recipient::None);
        QCOMPARE(s.groups, (QStringList{"Empty", "Family", kQuotedGroup}));
        QCOMPARE(s.form.group, QStringLiteral("Empty"));
        QCOMPARE(s.connections, (QStringList{"Auto", "WEBGATEWAY", "Airtel", kOperator}));
        QCOMPARE(s.form.connection, QStringLiteral("Auto"));
        QCOMPARE(s.limit.label(QString()), QStringLiteral("/160"));

        f->db().exec(QStringLiteral("DELETE FROM groups"));
        QCOMPARE(m_scheduler->load().groups, QStringList{Scheduler::kNoGroups});
    }

    void limitFollowsTheConnection()
    {
        openScheduler();
        f->presentPort(2, QStringLiteral("Tata"), kCdma);
        QCOMPARE(m_scheduler->load().limit, LengthLimit::ofCharacters(130)); // Auto: the last present port is CDMA
        QCOMPARE(m_scheduler->chooseConnection(QStringLiteral("Auto")).label(QString()), QStringLiteral("/130"));
        QCOMPARE(m_scheduler->chooseConnection(QStringLiteral("Tata")), LengthLimit::ofCharacters(130));
        QCOMPARE(m_scheduler->chooseConnection(QStringLiteral("Airtel")), LengthLimit::ofCharacters(160));
        QCOMPARE(m_scheduler->chooseConnection(QStringLiteral("WEBGATEWAY")), LengthLimit::ofCharacters(160));
    }

    void leavingTheNumberBox_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<Recipient>("recipient");
        QTest::addColumn<bool>("refused");
        QTest::newRow("empty: a group then") << "" << Recipient::Group << false;
        QTest::newRow("ten digits") << "9876543210" << Recipient::SingleNumber << false;
        QTest::newRow("nine digits") << "987654321" << Recipient::SingleNumber << true;
        QTest::newRow("ten with a letter") << "98765432a0" << Recipient::SingleNumber << true;
    }
    void leavingTheNumberBox()
    {
        openScheduler();
        QFETCH(QString, number);
        QFETCH(Recipient, recipient);
        QFETCH(bool, refused);
        ScheduleForm form = m_scheduler->chooseRecipient(m_scheduler->load().form, Recipient::SingleNumber);
        QVERIFY(form.numberEnabled() && !form.groupEnabled());
        form.number = number;
        const Scheduler::Outcome outcome = m_scheduler->leaveNumber(form);
        QCOMPARE(outcome.form.recipient, recipient);
        QCOMPARE(outcome.form.groupEnabled(), recipient == Recipient::Group);
        QCOMPARE(outcome.focus, refused ? Scheduler::Field::NumberBox : Scheduler::Field::None);
        QCOMPARE(f->prompter.count(), refused ? 1 : 0);
        if (refused)
            QVERIFY(f->prompter.contains(applicationTitle(), QStringLiteral("It is not a valid mobile number.")));
    }

    void save_data()
    {
        QTest::addColumn<SaveCase>("c");
        const QString one = QStringLiteral("single:9876543210");
        const QString n = QStringLiteral("9876543210");
        auto add = [&](const char *name, const char *frequency, const char *start, const char *end, QStringList r,
                       const char *count, const char *next, const QString &to = QString()) {
            QTest::newRow(name) << SaveCase{frequency, start, end, to.isEmpty() ? one : to, "Auto", "Hi", "", count,
                                            next, r, "Auto", "Hi", done(int(r.size()))};
        };
        add("15 minutes 10:00-10:50", "Every 15 Minutes", "12/1/2026 10:00", "12/1/2026 10:50",
            rows(n, {"2026-01-12 10:00", "2026-01-12 10:15", "2026-01-12 10:30"}), "3", "1/12/2026 10:15:00 AM");
        add("15 minutes, end 50 minutes before start: floor, then absolute", "Every 15 Minutes", "12/1/2026 10:00",
            "12/1/2026 9:10",
            rows(n, {"2026-01-12 10:00", "2026-01-12 10:15", "2026-01-12 10:30", "2026-01-12 10:45"}), "4",
            "1/12/2026 10:15:00 AM");
        add("30 minutes over midnight", "Every 30 Minutes", "12/1/2026 23:30", "13/1/2026 0:30",
            rows(n, {"2026-01-12 23:30", "2026-01-13 00:00"}), "2", "1/13/2026 12:00:00 AM");
        add("45 minutes 10:00-11:30", "Every 45 Minutes", "12/1/2026 10:00", "12/1/2026 11:30",
            rows(n, {"2026-01-12 10:00", "2026-01-12 10:45"}), "2", "1/12/2026 10:45:00 AM");
        add("hours count clock hours", "Every Hour", "12/1/2026 10:45", "12/1/2026 11:15",
            rows(n, {"2026-01-12 10:45"}), "1", "1/12/2026 11:45:00 AM");
        add("day, end before start", "Every Day", "12/1/2026 10:00", "11/1/2026 10:00", {}, "-1",
            "1/13/2026 10:00:00 AM");
        add("day 23:45 to 00:15", "Every Day", "12/1/2026 23:45", "13/1/2026 0:15", rows(n, {"2026-01-12 23:45"}),
            "1", "1/13/2026 11:45:00 PM");
        add("days over 29 February", "Every Day", "28/2/2028 9:00", "1/3/2028 8:00",
            rows(n, {"2028-02-28 09:00", "2028-02-29 09:00"}), "2", "2/29/2028 9:00:00 AM");
        add("week across a Sunday", "Every Week", "17/1/2026 10:00", "18/1/2026 9:00", rows(n, {"2026-01-17 10:00"}),
            "1", "1/24/2026 10:00:00 AM");
        add("week from Sunday to Saturday", "Every Week", "18/1/2026 10:00", "24/1/2026 23:45", {}, "0",
            "1/25/2026 10:00:00 AM");
        add("month from 31 January", "Every Month", "31/1/2027 9:00", "30/6/2027 9:00",
            rows(n, {"2027-01-31 09:00", "2027-02-28 09:00", "2027-03-28 09:00", "2027-04-28 09:00",
                     "2027-05-28 09:00"}),
            "5", "2/28/2027 9:00:00 AM");
        add("three months from 31 August", "Every Three Months", "31/8/2026 9:00", "31/3/2027 9:00",
            rows(n, {"2026-08-31 09:00", "2026-11-30 09:00"}), "2", "11/30/2026 9:00:00 AM");
        add("six months over five quarters", "Every Six Months", "15/1/2026 9:00", "15/4/2027 9:00",
            rows(n, {"2026-01-15 09:00", "2026-07-15 09:00"}), "2.5", "7/15/2026 9:00:00 AM");
        add("year from 29 February", "Every Year", "29/2/2028 9:00", "1/1/2031 0:00",
            rows(n, {"2028-02-29 09:00", "2029-02-28 09:00", "2030-02-28 09:00"}), "3", "2/28/2029 9:00:00 AM");
        add("once reads no end at all", "Once", "12/1/2026 10:00", "31/4/2026 24:00", rows(n, {"2026-01-12 10:00"}),
            "1", "");
        add("group of three, every hour over three hours", "Every Hour", "12/1/2026 10:00", "12/1/2026 13:00",
            rows("9000000003", {"2026-01-12 10:00", "2026-01-12 11:00", "2026-01-12 12:00"}) +
                rows("9000000001", {"2026-01-12 10:00", "2026-01-12 11:00", "2026-01-12 12:00"}) +
                rows("9000000002", {"2026-01-12 10:00", "2026-01-12 11:00", "2026-01-12 12:00"}),
            "3", "1/12/2026 11:00:00 AM", QStringLiteral("group:Family"));
        add("quotes in a group name", "Once", "12/1/2026 10:00", "12/1/2026 10:00",
            rows("9111111111", {"2026-01-12 10:00"}), "1", "", QStringLiteral("group:") + kQuotedGroup);
        add("a group without members", "Every Day", "12/1/2026 10:00", "14/1/2026 10:00", {}, "2",
            "1/13/2026 10:00:00 AM", QStringLiteral("group:Empty"));
        add("number trimmed", "Once", "12/1/2026 10:00", "12/1/2026 10:00", rows(n, {"2026-01-12 10:00"}), "1", "",
            QStringLiteral("single:  9876543210 "));

        const QString once = QStringLiteral("Once");
        const QString s = QStringLiteral("12/1/2026 10:00");
        const QString atNow = QStringLiteral("10/1/2026 8:00");
        const QStringList at10 = rows(n, {"2026-01-12 10:00"});
        QTest::newRow("typed lines become one") << SaveCase{once, s, s, one, "Auto", "Hello\nthere\r\nfriend \n", "",
                                                            "1", "", at10, "Auto", "Hello there friend", done(1)};
        QTest::newRow("quotes in an operator name")
            << SaveCase{once, s, s, one, kOperator, "Hi", "", "1", "", at10, "COM2", "Hi", done(1)};
        QTest::newRow("the gateway")
            << SaveCase{once, s, s, one, "WEBGATEWAY", "Hi", "", "1", "", at10, "WEBGATEWAY", "Hi", done(1)};

        auto refuse = [&](const char *name, const QString &frequency, const QString &start, const QString &end,
                          const QString &to, const QString &message, const QString &setup, const QString &count,
                          const QString &box, const QString &connection = QStringLiteral("Auto")) {
            QTest::newRow(name)
                << SaveCase{frequency, start, end, to, connection, message, setup, count, "", {}, "", "", box};
        };
        refuse("start equal to now", once, atNow, atNow, one, "Hi", "", "1", kTooEarly);
        refuse("start in the current minute", once, atNow, atNow, one, "Hi", "halfMinuteOn", "1", kTooEarly);
        refuse("start in the past", once, "10/1/2026 7:45", atNow, one, "Hi", "", "1", kTooEarly);
        refuse("message of spaces and line breaks", once, s, s, one, " \n \r\n ", "", "1", kTooEarly);
        refuse("start hour 24", "Every Day", "12/1/2026 24:00", "14/1/2026 10:00", one, "Hi", "", "",
               "The hour of the Start Date/Time is 24, which is not an hour of the day: choose an hour from 0 to 23.");
        refuse("end hour 24", "Every Day", s, "14/1/2026 24:00", one, "Hi", "", "",
               "The hour of the End Date/Time is 24, which is not an hour of the day: choose an hour from 0 to 23.");
        refuse("31 April", once, "31/4/2026 10:00", s, one, "Hi", "", "1",
               "The Start Date/Time has day 31, but month 4 of 2026 has only 30 days.");
        refuse("29 February of a common year", "Every Day", s, "29/2/2027 10:00", one, "Hi", "", "",
               "The End Date/Time has day 29, but month 2 of 2027 has only 28 days.");
        refuse("single number left empty", once, s, s, "single:  ", "Hi", "", "1",
               "Enter the mobile number under \"Single Number\".");
        refuse("no recipient option", once, s, s, "none", "Hi", "", "1",
               "Choose who the message goes to under \"Delivery To\": \"Single Number\" or \"A Group\".");
        refuse("groups not available", once, s, s, "group:Groups Not Available", "Hi", "", "1",
               "There is no group to send to: add a group first, or choose \"Single Number\".");
        refuse("group deleted after opening", once, s, s, "group:Family", "Hi", "deleteFamily", "1",
               "The group \"Family\" is no longer there: it was deleted after this screen was opened.");
        refuse("operator whose port row has gone", once, s, s, one, "Hi", "renameOperator", "1",
               "No port is set up for the connection \"Ram's \"Best\"\" any more: choose another connection under "
               "\"Via Mobile Operator\". Nothing was queued.",
               kOperator);
    }
    void save()
    {
        openScheduler();
        QFETCH(SaveCase, c);
        ScheduleForm form = m_scheduler->load().form;
        form.frequency = c.frequency;
        form.start = timeOf(c.start);
        form.end = timeOf(c.end);
        if (c.to.startsWith(QLatin1String("single:"))) {
            form = m_scheduler->chooseRecipient(form, Recipient::SingleNumber);
            form.number = c.to.mid(7);
        } else if (c.to.startsWith(QLatin1String("group:"))) {
            form = m_scheduler->chooseRecipient(form, Recipient::Group);
            form.group = c.to.mid(6);
        }
        form.connection = c.connection;
        form.message = c.message;

        const Scheduler::Preview preview = m_scheduler->chooseFrequency(form);
        QCOMPARE(preview.count, c.count);
        QCOMPARE(preview.next, c.next);

        if (c.setup == QLatin1String("halfMinuteOn"))
            m_clock->advance(std::chrono::seconds(30));
        else if (c.setup == QLatin1String("deleteFamily"))
            f->db().exec(QStringLiteral("DELETE FROM groups WHERE group_name = 'Family'"));
        else if (c.setup == QLatin1String("renameOperator"))
            f->db().exec(QStringLiteral("UPDATE config_ports SET mobileOperator = 'Vodafone' WHERE softwarePortNo = 'COM2'"));

        RecordingProgress progress;
        const Scheduler::SaveOutcome outcome = QCoro::waitFor(m_scheduler->save(form, progress));
        QStringList expected;
        for (const QString &row : c.rows)
            expected << row + QLatin1Char('|') + c.port + QLatin1Char('|') + c.text + QStringLiteral("|Pending");
        QCOMPARE(QueueLog(f->db()).rows(QStringLiteral("outgoing_mobileNo || ' ' || delivery_time, com_port, "
                                                             "outgoing_message, status")),
                 expected);
        QCOMPARE(f->prompter.count(), 1);
        QCOMPARE(f->prompter.entries().first().text, c.box);
        const bool success = c.box.startsWith(QLatin1String("Scheduling Complete."));
        QCOMPARE(f->prompter.entries().first().icon, success ? Prompter::Icon::Information : Prompter::Icon::Critical);
        QCOMPARE(outcome.queued ? outcome.queued->queued : -1, success ? qint64(c.rows.size()) : -1);
    }

    // The screen closes while a long series is being queued: the chunks
    // committed stay, and the work never comes back to the freed screen.
    void closingTheScreenStopsBetweenChunks()
    {
        openScheduler();
        m_scheduler = std::make_unique<Scheduler>(f->db(), f->store.queue(), f->state, f->prompter, 10);
        ScheduleForm form = m_scheduler->chooseRecipient(m_scheduler->load().form, Recipient::SingleNumber);
        form.frequency = QStringLiteral("Every 15 Minutes");
        form.start = timeOf(QStringLiteral("12/1/2026 10:00"));
        form.end = timeOf(QStringLiteral("13/1/2026 10:00"));
        form.number = QStringLiteral("9876543210");
        form.message = QStringLiteral("Hi");
        RecordingProgress progress;
        auto saving = m_scheduler->save(form, progress);
        QCOMPARE(f->queued(), 10);
        QVERIFY(!saving.isReady());
        m_scheduler.reset();
        // The next chunk's turn was posted before this one: once this has
        // come, that one has come too, or never will.
        bool turned = false;
        QTimer::singleShot(0, [&] { turned = true; });
        WAIT_VERIFY(turned);
        QCOMPARE(f->queued(), 10);
        QCOMPARE(progress.ended, 0);
        QCOMPARE(f->prompter.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSending)
#include "tst_sending.moc"
