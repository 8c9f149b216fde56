// The scheduling screen's logic: what it shows on opening, the number box
// check, and Save from the form to the rows in q_logs, series and refusals.
#include "ComposeFixture.h"
#include "ManualClock.h"
#include "RecordingProgress.h"
#include "Scheduler.h"
#include "Wait.h"

#include <QCoroTask>
#include <QRegularExpression>
#include <QTest>

using namespace tavsms;
using Field = Scheduler::Field;

namespace {

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

class TestScheduler : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::ComposeFixture> f;
    std::unique_ptr<test::ManualClock> m_clock;
    std::unique_ptr<Scheduler> m_scheduler;

    void setClock(const QDateTime &now)
    {
        m_clock = std::make_unique<test::ManualClock>(now);
        m_clock->attach(f->state);
    }

private Q_SLOTS:
    void init()
    {
        m_scheduler.reset();
        f = std::make_unique<test::ComposeFixture>();
        setClock(QDateTime(QDate(2026, 1, 10), QTime(8, 0)));
        f->presentPort(0, QStringLiteral("Airtel"), QStringLiteral("GSM Modem - TAV"));
        f->presentPort(1, kOperator, QStringLiteral("GSM Modem - TAV"));
        const qint64 family = f->addGroup(QStringLiteral("Family"));
        for (const char *number : {"9000000003", " 9000000001 ", "9000000002"})
            f->addMember(family, QString::fromLatin1(number));
        f->addMember(f->addGroup(kQuotedGroup), QStringLiteral("9111111111"));
        f->addGroup(QStringLiteral("Empty"));
        m_scheduler = std::make_unique<Scheduler>(f->db(), f->store.queue(), f->state, f->prompter);
    }

    void opensWithTodayOnceAndAuto()
    {
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
        f->presentPort(2, QStringLiteral("Tata"), QStringLiteral("CDMA Mobile - Nokia"));
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
        QFETCH(QString, number);
        QFETCH(Recipient, recipient);
        QFETCH(bool, refused);
        ScheduleForm form = m_scheduler->chooseRecipient(m_scheduler->load().form, Recipient::SingleNumber);
        QVERIFY(form.numberEnabled() && !form.groupEnabled());
        form.number = number;
        const Scheduler::Outcome outcome = m_scheduler->leaveNumber(form);
        QCOMPARE(outcome.form.recipient, recipient);
        QCOMPARE(outcome.form.groupEnabled(), recipient == Recipient::Group);
        QCOMPARE(outcome.focus, refused ? Field::NumberBox : Field::None);
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

        test::RecordingProgress progress;
        const Scheduler::SaveOutcome outcome = QCoro::waitFor(m_scheduler->save(form, progress));
        QStringList expected;
        for (const QString &row : c.rows)
            expected << row + QLatin1Char('|') + c.port + QLatin1Char('|') + c.text + QStringLiteral("|Pending");
        QCOMPARE(test::QueueLog(f->db()).rows(QStringLiteral("outgoing_mobileNo || ' ' || delivery_time, com_port, "
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
        m_scheduler = std::make_unique<Scheduler>(f->db(), f->store.queue(), f->state, f->prompter, 10);
        ScheduleForm form = m_scheduler->chooseRecipient(m_scheduler->load().form, Recipient::SingleNumber);
        form.frequency = QStringLiteral("Every 15 Minutes");
        form.start = timeOf(QStringLiteral("12/1/2026 10:00"));
        form.end = timeOf(QStringLiteral("13/1/2026 10:00"));
        form.number = QStringLiteral("9876543210");
        form.message = QStringLiteral("Hi");
        test::RecordingProgress progress;
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

QTEST_GUILESS_MAIN(TestScheduler)
#include "tst_scheduler.moc"
