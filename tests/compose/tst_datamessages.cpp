// Dynamic messages (the merge of a template with three columns) and
// messages from a file (the column check; a row without a number stops the
// send there): the rows queued one line each, cut to the connection's limit.
#include "ComposeFixture.h"
#include "DynamicMessages.h"
#include "FileMessages.h"
#include "MergedSend.h"
#include "RecordingProgress.h"
#include "TableFile.h"

#include <QCoroTask>
#include <QFile>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test;

using Rows = QList<MergedRow>;
Q_DECLARE_METATYPE(Rows)
static const Rows kMismatch{{"<mismatch>", ""}};

class TestDataMessages : public QObject
{
    Q_OBJECT

    std::unique_ptr<ComposeFixture> f;
    RecordingProgress progress;

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
        return FileMessages(f->store, f->state, f->prompter, progress, chunk);
    }
    QString lastText() const { return f->prompter.entries().isEmpty() ? QString() : f->prompter.entries().last().text; }

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
        MergedSend send(f->store, f->state, f->prompter, progress);
        QCoro::waitFor(send.send({}, QStringLiteral("Auto")));
        QCOMPARE(f->queued(), 0);
        QCOMPARE(f->prompter.entries().last().text, QStringLiteral("Messages has been sent to Queue\n\n0 messages queued."));
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
};

QTEST_GUILESS_MAIN(TestDataMessages)
#include "tst_datamessages.moc"
