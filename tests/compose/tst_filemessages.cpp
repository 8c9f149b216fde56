// Messages from a file: the column check, the rows queued one line each and
// cut to the limit, and a row without a number stopping the send there.
#include "ComposeFixture.h"
#include "FileMessages.h"
#include "RecordingProgress.h"
#include "TableFile.h"

#include <QCoroTask>
#include <QFile>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test;

class TestFileMessages : public QObject
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

QTEST_GUILESS_MAIN(TestFileMessages)
#include "tst_filemessages.moc"
