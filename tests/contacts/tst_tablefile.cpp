// The data file readers: every fixture read cell by cell, and files that are
// not what their extension says refused with a clear reason.
#include "CompoundFile.h"
#include "TableFile.h"
#include "TextTableFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tavsms;

using Rows = QList<QStringList>;

namespace {

QString data(const QString &name)
{
    return QStringLiteral(TAVSMS_TEST_DATA_DIR "/") + name;
}

Rows allRows(const TableFile &file)
{
    Rows out;
    for (qint64 i = 0; i < file.rowCount(); ++i)
        out << file.row(i);
    return out;
}

} // namespace

class TestTableFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString &name, const QByteArray &content)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private Q_SLOTS:
    void readsEveryFixture_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<Rows>("rows");

        const QStringList members{"Phone", "Name", "Email"};
        QTest::newRow("members.xls")
            << "members.xls" << members
            << Rows{{"9876543210", "Asha Rao", "asha@example.com"},     // numeric: plain digits
                    {"919876543211", "O'Brien", "ob@example.com"},      // twelve digits, not 9.19877e+11
                    {"09876543212", "Smith, John", ""},                 // a text phone keeps its 0; empty cell
                    {"9876543213", "Zoë Müller", "zoe@example.com"},    // UTF-8 intact
                    {"9876543214", "", ""},
                    {"98765 43215", "Ravi Kumar", "ravi@example.com"}}; // a blank inside is kept
        QTest::newRow("members.txt, CR LF and quotes")
            << "members.txt" << members
            << Rows{{"9876543210", "Asha Rao", "asha@example.com"},
                    {"919876543211", "O'Brien", "ob@example.com"},
                    {"09876543212", "Smith, John", ""}, // quoted comma; empty last field
                    {"9876543213", "Said \"hi\"", "zoe@example.com"}};
        QTest::newRow("members-bom.txt, LF") << "members-bom.txt" << members
                                             << Rows{{"9876543210", "Asha Rao", "asha@example.com"}};
        QTest::newRow("members-bad-columns.xls") << "members-bad-columns.xls" << QStringList{"PHONE", "Name", "E-mail"}
                                                 << Rows{{"9876543210", "A", "a@b.c"}};
        QTest::newRow("Sheet1 behind another sheet")
            << "members-sheet1-second.xls" << QStringList{"phone", "NAME", "Email", "City"}
            << Rows{{"919876543214", "12.5", "x@example.com", "Pune"}};
        QTest::newRow("dynamic.xls")
            << "dynamic.xls" << QStringList{"Phone", "Message"}
            << Rows{{"9876543210", "Dear Asha, your order 1042 is ready."},
                    {"919876543211", "Line one\nLine two"}, // LF inside a cell
                    {"9876543212", QString(200, QLatin1Char('x'))},
                    {"9876543213", "It's done"},
                    {"", "no number here"},
                    {"9876543215", "after the empty phone"}};
        QTest::newRow("dynamic.txt")
            << "dynamic.txt" << QStringList{"Phone", "Message"}
            << Rows{{"9876543210", "Dear Asha, your order 1042 is ready."},
                    {"919876543211", "Line one\r\nLine two"}}; // CR LF inside a quoted field
    }
    void readsEveryFixture()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, columns);
        QFETCH(Rows, rows);
        const std::unique_ptr<TableFile> table = TableFile::open(data(file));
        QCOMPARE(table->columns(), columns);
        QCOMPARE(allRows(*table), rows);
    }

    // The extension of the trimmed path chooses the reader, in any letter case.
    void extensionChoosesTheReader()
    {
        QFile::copy(data(QStringLiteral("members.xls")), m_dir.filePath(QStringLiteral("UPPER.XLS")));
        QFile::copy(data(QStringLiteral("members.txt")), m_dir.filePath(QStringLiteral("Upper.Txt")));
        QCOMPARE(TableFile::open(QStringLiteral("  ") + m_dir.filePath(QStringLiteral("UPPER.XLS")) + QStringLiteral(" "))
                     ->rowCount(),
                 6);
        QCOMPARE(TableFile::open(m_dir.filePath(QStringLiteral("Upper.Txt")))->rowCount(), 4);
    }

    void textDetails_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("columns");
        QTest::addColumn<Rows>("rows");
        QTest::newRow("no line end at the end") << QByteArray("a,b\n1,") << QStringList{"a", "b"} << Rows{{"1", ""}};
        QTest::newRow("blanks kept") << QByteArray("a,b\r\n 1 , x\r\n") << QStringList{"a", "b"} << Rows{{" 1 ", " x"}};
        QTest::newRow("short and long rows") << QByteArray("a,b,c\n1\n1,2,3,4\n") << QStringList{"a", "b", "c"}
                                             << Rows{{"1", "", ""}, {"1", "2", "3"}};
        QTest::newRow("header only") << QByteArray("\xEF\xBB\xBFPhone,Name,Email\r\n")
                                     << QStringList{"Phone", "Name", "Email"} << Rows{};
    }
    void textDetails()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, columns);
        QFETCH(Rows, rows);
        const TextTableFile table(content, QStringLiteral("t.txt"));
        QCOMPARE(table.columns(), columns);
        QCOMPARE(allRows(table), rows);
    }

    // The workbook of members.xls in every layout of its container: as saved
    // (first in the mini stream), after the document summary in the mini
    // stream (as some programs write it; FreeXL alone misreads it), and
    // padded into ordinary sectors as Excel writes it.
    void readsTheWorkbookWhereverItsContainerKeepsIt()
    {
        QFile saved(data(QStringLiteral("members.xls")));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const std::optional<CompoundFile> container = CompoundFile::parse(saved.readAll());
        QVERIFY(container);
        const auto stream = [&](const QString &name) {
            const std::optional<CompoundFile::Stream> s = container->stream({name});
            return s ? container->read(*s).value_or(QByteArray()) : QByteArray();
        };
        const QByteArray workbook = stream(QStringLiteral("Workbook"));
        const QByteArray summary = stream(QStringLiteral("\x05SummaryInformation"));
        QVERIFY(workbook.size() > 0 && workbook.size() < int(CompoundFile::kMiniStreamCutoff) && summary.size() > 0);

        const QByteArray second = CompoundFile::build(
            {{QStringLiteral("\x05SummaryInformation"), summary}, {QStringLiteral("Workbook"), workbook}});
        const std::optional<CompoundFile> odd = CompoundFile::parse(second);
        QVERIFY(odd && odd->stream({QStringLiteral("workbook")})->mini);
        QVERIFY(!odd->startsTheMiniStreamInOrder(*odd->stream({QStringLiteral("Workbook")})));
        QCOMPARE(odd->read(*odd->stream({QStringLiteral("Workbook")})), workbook);

        const std::unique_ptr<TableFile> expected = TableFile::open(saved.fileName());
        for (const auto &[name, bytes] :
             {std::pair{QStringLiteral("second.xls"), second},
              std::pair{QStringLiteral("padded.xls"),
                        CompoundFile::build({{QStringLiteral("Workbook"), workbook.leftJustified(4096, '\0')}})}}) {
            try {
                const std::unique_ptr<TableFile> table = TableFile::open(write(name, bytes));
                QCOMPARE(table->columns(), expected->columns());
                QCOMPARE(allRows(*table), allRows(*expected));
            } catch (const TableFileError &e) {
                QFAIL(qPrintable(e.description()));
            }
        }

        // Cut short anywhere, the odd container is refused with a reason; it
        // is never read past its end.
        for (qsizetype size = 0; size < second.size(); size += 64) {
            try {
                TableFile::open(write(QStringLiteral("cut.xls"), second.left(size)));
            } catch (const TableFileError &) {
            }
        }
    }

    void refusesWhatItCannotRead_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("description");
        QTest::newRow("renamed PDF as xls") << data(QStringLiteral("report-renamed.xls")) << "Excel reader"
                                            << "report-renamed.xls is not an Excel 97-2003 workbook (.xls).";
        QTest::newRow("renamed PDF as txt") << data(QStringLiteral("report-renamed.txt")) << "Text reader"
                                            << "report-renamed.txt is not a text file.";
        QTest::newRow("xls without Sheet1") << data(QStringLiteral("members-no-sheet1.xls")) << "Excel reader"
                                            << "members-no-sheet1.xls has no worksheet named \"Sheet1\".";
        QTest::newRow("empty xls") << write(QStringLiteral("empty.xls"), {}) << "Excel reader"
                                   << "empty.xls is not an Excel 97-2003 workbook (.xls).";
        QTest::newRow("damaged workbook")
            << write(QStringLiteral("damaged.xls"), CompoundFile::build({{QStringLiteral("Workbook"), QByteArray(300, '\0')}}))
            << "Excel reader"
            << "damaged.xls cannot be read: the workbook in it is damaged or stored in a way this program cannot read.";
        QTest::newRow("empty txt") << write(QStringLiteral("empty.txt"), {}) << "Text reader"
                                   << "empty.txt is empty: it has no column names.";
        QTest::newRow("only a BOM") << write(QStringLiteral("bom.txt"), "\xEF\xBB\xBF") << "Text reader"
                                    << "bom.txt is empty: it has no column names.";
        QTest::newRow("not UTF-8") << write(QStringLiteral("latin.txt"), "Phone,Name\n1,Jos\xE9\n") << "Text reader"
                                   << "latin.txt is not UTF-8 text.";
        const QString missingXls = m_dir.filePath(QStringLiteral("missing.xls"));
        QTest::newRow("missing xls") << missingXls << "Excel reader"
                                     << QStringLiteral("The file %1 does not exist.").arg(missingXls);
        const QString missingTxt = m_dir.filePath(QStringLiteral("missing.txt"));
        QTest::newRow("missing txt") << missingTxt << "Text reader"
                                     << QStringLiteral("The file %1 does not exist.").arg(missingTxt);
        QTest::newRow("other type") << data(QStringLiteral("members.txt")) + QStringLiteral(".csv") << "Import"
                                    << "members.txt.csv is neither an Excel file (.xls) nor a text file (.txt).";
    }
    void refusesWhatItCannotRead()
    {
        QFETCH(QString, path);
        QFETCH(QString, source);
        QFETCH(QString, description);
        try {
            TableFile::open(path);
            QFAIL("opened");
        } catch (const TableFileError &e) {
            QCOMPARE(e.source(), source);
            QCOMPARE(e.description(), description);
        }
    }
};

QTEST_GUILESS_MAIN(TestTableFile)
#include "tst_tablefile.moc"
