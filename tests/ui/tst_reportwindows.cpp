// "Misc Reports" in the main window through its controls and real boxes:
// the choice lists, a report previewed and saved, an impossible date, a
// save cancelled from the progress bar, printing without a printer.
#include "DataDirectory.h"
#include "Database.h"
#include "Groups.h"
#include "MessageBoxes.h"
#include "PdfText.h"
#include "ReportWindow.h"
#include "MiscReportsWindow.h"
#include "Store.h"
#include "TestDataDirectory.h"
#include "WindowProgram.h"

#include "ListenerPort.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

using namespace tavsms;

class TestReportWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<test::TestDataDirectory> m_dir;
    std::unique_ptr<test::WindowProgram> m_program;

    MiscReportsWindow *openScreen()
    {
        m_program = std::make_unique<test::WindowProgram>();
        if (m_program->start() != Application::StartResult::Running)
            return nullptr;
        m_program->action("mnuReportGM")->trigger();
        return m_program->window.findChild<MiscReportsWindow *>(QStringLiteral("frmRptGroups"));
    }
    template<typename T> static T *child(QWidget *in, const char *name)
    {
        return in->findChild<T *>(QString::fromLatin1(name));
    }
    static void choose(QComboBox *list, const QString &text) { list->setCurrentIndex(list->findText(text)); }

    // Saves through "Save as PDF" and the file dialog.
    static void saveThroughDialog(ReportWindow *report, const QString &path)
    {
        child<QPushButton>(report, "cmdPdf")->click();
        QFileDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = child<QFileDialog>(report, "pdfDialog")) && dialog->isVisible());
        dialog->selectFile(path);
        static_cast<QDialog *>(dialog)->accept(); // as the dialog's Save button does
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<test::TestDataDirectory>();
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        test::useFreeListenerPort(DataDirectory::databasePath());
        Store store(DataDirectory::databasePath());
        Transaction tx(store.db());
        Groups groups(store.db());
        const qint64 staff = groups.create(QStringLiteral("Staff"), QDateTime::currentDateTime());
        groups.addMember(staff, QStringLiteral("Asha"), QStringLiteral("9800000001"), QStringLiteral("a@example.org"));
        groups.create(QStringLiteral("Empty"), QDateTime::currentDateTime());
        const qint64 big = groups.create(QStringLiteral("Big"), QDateTime::currentDateTime());
        for (int i = 0; i < 20000; ++i)
            groups.addMember(big, QStringLiteral("Member %1").arg(i), QStringLiteral("97%1").arg(i, 8, 10, QLatin1Char('0')),
                             QString());
        tx.commit();
    }
    void cleanup()
    {
        m_program.reset();
        m_dir.reset();
    }

    void screenAndGroupReport()
    {
        MiscReportsWindow *screen = openScreen();
        QVERIFY(screen);
        QCOMPARE(screen->windowTitle(), QStringLiteral("Generate Reports"));
        QStringList frames;
        for (QGroupBox *frame : screen->findChildren<QGroupBox *>())
            frames << frame->title();
        QCOMPARE(frames, (QStringList{"Group Members", "Sent Messages By Connection", "Sent Messages By Date"}));
        auto *groupList = child<QComboBox>(screen, "cboGroups");
        QCOMPARE(groupList->count(), 4);
        QCOMPARE(groupList->currentText(), QStringLiteral("All"));
        QCOMPARE(groupList->itemText(1), QStringLiteral("Big"));
        QCOMPARE(child<QComboBox>(screen, "cboConnection")->currentText(), QStringLiteral("Software Port 1"));
        auto *years = child<QComboBox>(screen, "cboYear");
        QCOMPARE(years->itemText(0), QStringLiteral("2007"));
        QCOMPARE(years->currentText(), QString::number(QDate::currentDate().year()));
        QCOMPARE(years->currentIndex(), years->count() - 1);

        // A group without members: headings and footers only.
        choose(groupList, QStringLiteral("Empty"));
        child<QPushButton>(screen, "cmdShowGroups")->click();
        ReportWindow *report = screen->lastReport();
        QVERIFY(report);
        QVERIFY(report->isVisible());
        QCOMPARE(report->windowTitle(), QStringLiteral("Group Members"));
        QCOMPARE(child<QLabel>(report, "lblPage")->text(), QStringLiteral("Page 1"));
        QVERIFY(!child<QPushButton>(report, "cmdNext")->isEnabled());
        QVERIFY(!report->pageImage().isNull());

        const QString path = m_dir->root() + QStringLiteral("/empty.pdf");
        saveThroughDialog(report, path);
        QMessageBox *saved = test::Boxes::waitFor(QStringLiteral("The report was saved to ") + path, "Success");
        QVERIFY(saved);
        QCOMPARE(saved->parentWidget(), report);
        test::Boxes::press(saved, QMessageBox::Ok);
        const QString text = test::pdfText(path);
        QVERIFY2(text.contains(QLatin1String("Subs End")) && text.contains(QLatin1String("End of Report"))
                     && text.contains(QLatin1String("visit www.tavsms.com")) && !text.contains(QLatin1String("Asha")),
                 qPrintable(text));

        // A long report previews page by page.
        choose(groupList, QStringLiteral("Big"));
        child<QPushButton>(screen, "cmdShowGroups")->click();
        ReportWindow *big = screen->lastReport();
        QVERIFY(big && big != report);
        QVERIFY(child<QPushButton>(big, "cmdNext")->isEnabled());
        QVERIFY(!child<QPushButton>(big, "cmdPrevious")->isEnabled());
        child<QPushButton>(big, "cmdNext")->click();
        QCOMPARE(big->pageShown(), 2);
        QCOMPARE(child<QLabel>(big, "lblPage")->text(), QStringLiteral("Page 2"));
        child<QPushButton>(big, "cmdPrevious")->click();
        QCOMPARE(big->pageShown(), 1);
        QVERIFY(test::Boxes::open().isEmpty());
    }

    void impossibleDate()
    {
        MiscReportsWindow *screen = openScreen();
        QVERIFY(screen);
        choose(child<QComboBox>(screen, "cboDay"), QStringLiteral("31"));
        choose(child<QComboBox>(screen, "cboMonth"), QStringLiteral("4"));
        child<QPushButton>(screen, "cmdShowDate")->click();
        QMessageBox *box = test::Boxes::waitFor(QStringLiteral("An error has been occured!!"), QStringLiteral("Error"));
        QVERIFY(box);
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QCOMPARE(box->parentWidget(), screen);
        QVERIFY(!screen->lastReport());
        test::Boxes::press(box, QMessageBox::Ok);

        choose(child<QComboBox>(screen, "cboDay"), QStringLiteral("30"));
        child<QPushButton>(screen, "cmdShowDate")->click();
        QVERIFY(screen->lastReport());
        QCOMPARE(screen->lastReport()->windowTitle(),
                 QStringLiteral("Messages Sent On and After Date 4/30/%1").arg(QDate::currentDate().year()));
    }

    void cancelledSaveLeavesNoFile()
    {
        MiscReportsWindow *screen = openScreen();
        QVERIFY(screen);
        choose(child<QComboBox>(screen, "cboGroups"), QStringLiteral("Big"));
        child<QPushButton>(screen, "cmdShowGroups")->click();
        ReportWindow *report = screen->lastReport();
        QVERIFY(report);
        const QString path = m_dir->root() + QStringLiteral("/big.pdf");
        saveThroughDialog(report, path);
        QProgressDialog *progress = nullptr;
        QTRY_VERIFY((progress = child<QProgressDialog>(report, "progressBox")));
        QVERIFY(!child<QPushButton>(report, "cmdPdf")->isEnabled());
        QTRY_VERIFY(progress->isVisible());
        QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
        QMessageBox *box = test::Boxes::waitFor(QStringLiteral("Saving was cancelled; no file was written."),
                                                QStringLiteral("Cancelled"), 20000);
        QVERIFY(box);
        test::Boxes::press(box, QMessageBox::Ok);
        QVERIFY(!QFile::exists(path));
        QVERIFY(!QFile::exists(path + QStringLiteral(".part")));
        QVERIFY(child<QPushButton>(report, "cmdPdf")->isEnabled());
    }

    void closingTheWindowStopsTheSave()
    {
        MiscReportsWindow *screen = openScreen();
        QVERIFY(screen);
        choose(child<QComboBox>(screen, "cboGroups"), QStringLiteral("Big"));
        child<QPushButton>(screen, "cmdShowGroups")->click();
        QPointer<ReportWindow> report = screen->lastReport();
        QVERIFY(report);
        const QString path = m_dir->root() + QStringLiteral("/closed.pdf");
        saveThroughDialog(report, path);
        QTRY_VERIFY(child<QProgressDialog>(report, "progressBox"));
        QVERIFY(QFile::exists(path + QStringLiteral(".part")));
        report->close();
        QTRY_VERIFY(!report);
        QTest::qWait(200); // turns in which a save still running would write on
        QVERIFY(!QFile::exists(path));
        QVERIFY(!QFile::exists(path + QStringLiteral(".part")));
        QVERIFY(test::Boxes::open().isEmpty());
    }

    void printWithoutAPrinter()
    {
        if (!QPrinterInfo::availablePrinters().isEmpty())
            QSKIP("this machine has a printer");
        MiscReportsWindow *screen = openScreen();
        QVERIFY(screen);
        child<QPushButton>(screen, "cmdShowConnection")->click();
        ReportWindow *report = screen->lastReport();
        QVERIFY(report);
        QCOMPARE(report->windowTitle(), QStringLiteral("Messages Sent By Connection Software Port 1"));
        child<QPushButton>(report, "cmdPrint")->click();
        QMessageBox *box = test::Boxes::waitFor(
            QStringLiteral("No printer is installed. Use \"Save as PDF\" to keep the report."), QStringLiteral("Print"));
        QVERIFY(box);
        QCOMPARE(box->parentWidget(), report);
        test::Boxes::press(box, QMessageBox::Ok);
    }
};

QTEST_MAIN(TestReportWindows)
#include "tst_reportwindows.moc"
