// Dynamic messages: the merge of a template with three columns, and the
// merged rows queued one line each, cut to the connection's limit.
#include "ComposeFixture.h"
#include "DynamicMessages.h"
#include "MergedSend.h"
#include "RecordingProgress.h"

#include <QCoroTask>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test;

using Rows = QList<MergedRow>;
Q_DECLARE_METATYPE(Rows)
static const Rows kMismatch{{"<mismatch>", ""}};

class TestDynamic : public QObject
{
    Q_OBJECT

    std::unique_ptr<ComposeFixture> f;

private Q_SLOTS:
    void init() { f = std::make_unique<ComposeFixture>(); }

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
        f->presentPort(0, QStringLiteral("Airtel"), QStringLiteral("GSM Modem - TAV"));
        f->presentPort(1, QStringLiteral("Reliance"), QStringLiteral("CDMA Mobile - Nokia"));
        const QString long200 = QString(199, QLatin1Char('m')) + QLatin1Char('!');
        const Rows rows{{"919876543210", "Hello\nthere "},
                        {" 09876543211", long200},
                        {"12345", "short"},
                        {"  ", "nobody"}};
        RecordingProgress progress;
        MergedSend send(f->store, f->state, f->prompter, progress, 2);
        QCoro::waitFor(send.send(rows, modem));
        const QString route = modem == QLatin1String("WEBGATEWAY") ? modem
                              : modem == QLatin1String("Airtel")   ? QStringLiteral("COM1")
                                                                   : QStringLiteral("COM2");
        QCOMPARE(f->rows(), (QStringList{"9876543210|" + route + "|Hello there",
                                         "9876543211|" + route + "|" + long200.left(limit), "12345|" + route + "|short"}));
        QCOMPARE(f->prompter.entries().last().title, QStringLiteral("Success"));
        QCOMPARE(f->prompter.entries().last().text,
                 QStringLiteral("Messages has been sent to Queue\n\n3 messages queued. 1 row without a number left out."));
    }

    void nothingToSendStillSaysSo()
    {
        RecordingProgress progress;
        MergedSend send(f->store, f->state, f->prompter, progress);
        QCoro::waitFor(send.send({}, QStringLiteral("Auto")));
        QCOMPARE(f->queued(), 0);
        QCOMPARE(f->prompter.entries().last().text, QStringLiteral("Messages has been sent to Queue\n\n0 messages queued."));
    }
};

QTEST_GUILESS_MAIN(TestDynamic)
#include "tst_dynamic.moc"
