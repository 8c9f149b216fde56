// "Misc Reports" in the main window through its controls and real boxes: a
// report previewed and saved, an impossible date, a save cancelled or cut
// short by closing, printing without a printer.
#include "Groups.h"
#include "MiscReportsWindow.h"
#include "PdfText.h"
#include "ReportWindow.h"
#include "WindowTest.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

using namespace tavsms;
using test::Controls::child;

class TestReportWindows : public test::WindowTest
{
    Q_OBJECT

    // "Staff" with one member, "Empty", and "Big" with many pages of them.
    void addGroups()
    {
        Transaction tx(db());
        Groups groups(db());
        const qint64 staff = groups.create(QStringLiteral("Staff"), QDateTime::currentDateTime());
        groups.addMember(staff, QStringLiteral("Asha"), QStringLiteral("9800000001"), QStringLiteral("a@example.org"));
        groups.create(QStringLiteral("Empty"), QDateTime::currentDateTime());
        const qint64 big = groups.create(QStringLiteral("Big"), QDateTime::currentDateTime());
        for (int i = 0; i < 1000; ++i)
            groups.addMember(big, QStringLiteral("Member %1").arg(i), QStringLiteral("97%1").arg(i, 8, 10, QLatin1Char('0')),
                             QString());
        tx.commit();
    }
    // Every test works on the screen open in the running program.
    MiscReportsWindow *screen = nullptr;
    void setUp() override
    {
        addGroups();
        QVERIFY(start());
        QVERIFY((screen = open<MiscReportsWindow>("mnuReportGM")));
    }
    // The report of one group, previewed.
    ReportWindow *showGroup(const QString &group)
    {
        if (!test::Controls::choose(child<QComboBox>(screen, "cboGroups"), group))
            return nullptr;
        QTest::mouseClick(child<QPushButton>(screen, "cmdShowGroups"), Qt::LeftButton);
        return screen->lastReport();
    }
    // Saves through "Save as PDF" and the file dialog.
    static void saveThroughDialog(ReportWindow *report, const QString &path)
    {
        child<QPushButton>(report, "cmdPdf")->click();
        QFileDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = report->findChild<QFileDialog *>(QStringLiteral("pdfDialog"))) && dialog->isVisible());
        dialog->selectFile(path);
        static_cast<QDialog *>(dialog)->accept(); // as the dialog's Save button does
    }

private Q_SLOTS:
    void groupReportPreviewedAndSaved()
    {
        ReportWindow *report = showGroup(QStringLiteral("Empty"));
        QVERIFY(report && report->isVisible());
        QCOMPARE(child<QLabel>(report, "lblPage")->text(), QStringLiteral("Page 1"));
        QVERIFY(!child<QPushButton>(report, "cmdNext")->isEnabled());

        const QString path = dir().root() + QStringLiteral("/empty.pdf");
        saveThroughDialog(report, path);
        QCOMPARE(answer(QStringLiteral("The report was saved to ") + path), report);
        QVERIFY(test::pdfText(path).contains(QLatin1String("End of Report")));

        // A long report previews page by page.
        ReportWindow *big = showGroup(QStringLiteral("Big"));
        QVERIFY(big && big != report);
        auto *next = child<QPushButton>(big, "cmdNext");
        auto *previous = child<QPushButton>(big, "cmdPrevious");
        QVERIFY(next->isEnabled() && !previous->isEnabled());
        next->click();
        QCOMPARE(child<QLabel>(big, "lblPage")->text(), QStringLiteral("Page 2"));
        QVERIFY(previous->isEnabled());
        previous->click();
        QCOMPARE(big->pageShown(), 1);
        QVERIFY(test::Boxes::open().isEmpty());
    }

    // The date is read day, month, year; one that does not exist is told.
    void impossibleDate()
    {
        QVERIFY(test::Controls::choose(child<QComboBox>(screen, "cboDay"), QStringLiteral("31")));
        QVERIFY(test::Controls::choose(child<QComboBox>(screen, "cboMonth"), QStringLiteral("4")));
        child<QPushButton>(screen, "cmdShowDate")->click();
        QCOMPARE(answer(QStringLiteral("An error has been occured!!")), screen);
        QVERIFY(!screen->lastReport());

        QVERIFY(test::Controls::choose(child<QComboBox>(screen, "cboDay"), QStringLiteral("30")));
        child<QPushButton>(screen, "cmdShowDate")->click();
        QVERIFY(screen->lastReport());
        QCOMPARE(screen->lastReport()->windowTitle(),
                 QStringLiteral("Messages Sent On and After Date 4/30/%1").arg(QDate::currentDate().year()));
    }

    void cancelledSaveLeavesNoFile()
    {
        ReportWindow *report = showGroup(QStringLiteral("Big"));
        QVERIFY(report);
        const QString path = dir().root() + QStringLiteral("/big.pdf");
        saveThroughDialog(report, path);
        auto *progress = report->findChild<QProgressDialog *>(QStringLiteral("progressBox"));
        QVERIFY(progress);
        QVERIFY(!child<QPushButton>(report, "cmdPdf")->isEnabled());
        progress->findChild<QPushButton *>()->click();
        QCOMPARE(answer(QStringLiteral("Saving was cancelled; no file was written.")), report);
        QVERIFY(!QFile::exists(path) && !QFile::exists(path + QStringLiteral(".part")));
        QVERIFY(child<QPushButton>(report, "cmdPdf")->isEnabled());
    }

    void closingTheWindowStopsTheSave()
    {
        QPointer<ReportWindow> report = showGroup(QStringLiteral("Big"));
        QVERIFY(report);
        const QString path = dir().root() + QStringLiteral("/closed.pdf");
        saveThroughDialog(report, path);
        QVERIFY(QFile::exists(path + QStringLiteral(".part")));
        report->close();
        QTRY_VERIFY(!report);
        for (int turn = 0; turn < 100; ++turn) // more than the whole save would take
            test::Boxes::settle();
        QVERIFY(!QFile::exists(path) && !QFile::exists(path + QStringLiteral(".part")));
        QVERIFY(test::Boxes::open().isEmpty());
    }

    void printWithoutAPrinter()
    {
        if (!QPrinterInfo::availablePrinters().isEmpty())
            QSKIP("this machine has a printer");
        child<QPushButton>(screen, "cmdShowConnection")->click();
        ReportWindow *report = screen->lastReport();
        QVERIFY(report);
        QCOMPARE(report->windowTitle(), QStringLiteral("Messages Sent By Connection Software Port 1"));
        child<QPushButton>(report, "cmdPrint")->click();
        QCOMPARE(answer(QStringLiteral("No printer is installed. Use \"Save as PDF\" to keep the report.")), report);
    }
};

QTEST_MAIN(TestReportWindows)
#include "tst_reportwindows.moc"
