// The main window offscreen: its items open their screens or show their
// boxes over the frame, the status bar follows the program, and a start-up
// that fails is told. The message flow statistics and the queue view, which
// holds sending while it is open; "Misc Reports": a report previewed and
// saved, an impossible date, a save cancelled or cut short by closing,
// printing without a printer. The program's real message boxes: questions
// answered by pressing their buttons, as an operator would.
#include "AppInfo.h"
#include "DataDirectory.h"
#include "FakeGateway.h"
#include "Groups.h"
#include "MessageBoxPrompter.h"
#include "MessageFlowWindow.h"
#include "MiscReportsWindow.h"
#include "PdfText.h"
#include "QueuedMessagesWindow.h"
#include "ReportWindow.h"
#include "WindowTest.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QBarSet>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTcpServer>
#include <QTest>
#include <QToolBar>

#include <functional>
#include <optional>

using namespace tavsms;
using test::Controls::child;
using Icon = Prompter::Icon;
using Default = Prompter::Default;

namespace {

// A screen as the program's are: it owns the prompter its boxes come from.
struct Screen : QWidget
{
    MessageBoxPrompter prompter{this};
};

// Asks, and notes the answer if the question ever resumes.
QCoro::Task<void> ask(Prompter &prompter, std::optional<bool> *answer, Default preset = Default::Ok)
{
    *answer = co_await prompter.question(QStringLiteral("Delete Keyword"), QStringLiteral("Are you sure?"),
                                         Icon::Question, preset);
}

} // namespace

class TestMainWindow : public test::WindowTest
{
    Q_OBJECT

    MainController &controller() { return program().controller(); }
    AppState &state() { return program().app.state(); }
    void addRow(const QString &status, const QString &sentFrom = {}, const QString &sentAt = {})
    {
        const qint64 id = store().queue().addToQueue(QStringLiteral("9811122233"), status, kRouteAuto).id;
        db().exec(QStringLiteral("UPDATE q_logs SET status = ?, sent_from = ?, sent_at = ? WHERE id = ?"),
                  {status, sentFrom.isEmpty() ? QVariant() : QVariant(sentFrom),
                   sentAt.isEmpty() ? QVariant() : QVariant(sentAt), id});
    }

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
    // "Misc Reports" open in the running program, on those groups.
    MiscReportsWindow *m_reports = nullptr;
    bool openReports()
    {
        addGroups();
        return start() && (m_reports = open<MiscReportsWindow>("mnuReportGM"));
    }
    // The report of one group, previewed.
    ReportWindow *showGroup(const QString &group)
    {
        if (!test::Controls::choose(child<QComboBox>(m_reports, "cboGroups"), group))
            return nullptr;
        QTest::mouseClick(child<QPushButton>(m_reports, "cmdShowGroups"), Qt::LeftButton);
        return m_reports->lastReport();
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
    // The whole menu bar and the toolbar as the table lists them, in order:
    // name=caption and shortcut, "-" a separator, a submenu's items indented,
    // "> screen" the screen the item opens. Each screen opens from its item
    // (or from the toolbar button standing for it), beside the frame and not
    // blocking it, wholly inside it however small the frame; its item again
    // brings it to the front.
    void everyMenuItemIsListedAndOpensItsScreen()
    {
        const QStringList table{
            "mnuFile=&File", "  mnuFileConfig=Configure Modem > frmConfig", "  mnuFileReInit=Re-Initialize Modems",
            "  mnuFileImp=Import Data > frmImport", "  mnuFileMSF=Manage SMS Flow", "    mnuFileMSFStop=Stop Message Sending",
            "    mnuFileMSFStart=Start Message Sending", "  mnuFileExit=Exit Ctrl+X",
            "mnuMsg=&Messages", "  mnuMsgSingle=Send Single SMS > frmSendSingle", "  mnuMsgGroup=Send Group SMS > frmSendGroup",
            "  mnyMsgDyna=Dynamic SMS > frmDynamicSMS", "  mnuMsgDynExcel=Dynamic SMS via Excel > frmDynaExcel", "  -",
            "  mnuMsgIncSMS=Incoming SMS > frmIncomingSMS", "  mnuMsgIncoming=Auto-Reply SMS > frmAutoReply",
            "  mnuMsgSch=Schedule SMS > frmSch", "  mnuMsgQMsg=Queued Messages > frmQMsg",
            "mnuGroup=Groups", "  mnuMsgCG=Manage Groups Ctrl+M > frmGroup",
            "  mnuGroupEGM=Edit Group Members > frmManageGroups", "  -", "  mnuGrpBackup=Backup Groups",
            "mnuTemp=&Templates", "  mnuTempManage=Manage Templates > frmTemplate",
            "mnuIS=Internet SMS", "  mnuISCheck=Check Balance",
            "mnuReport=Reports", "  mnuReportGM=Misc Reports > frmRptGroups", "  mnuReportMMF=Monthly Message Flow > frmMsgFlow",
            "mnuHelp=&Help", "  mnuHelpAnout=About Us", "  mnuHelpUpdates=Check for Updates",
            "  mnuHelpReset=Reset to Default", "  mnuHelpCST=Create Support Ticket > frmIncoming",
            "tool tbmnuMsgSingle=Single SMS", "tool tbmnuMsgGroup=Group SMS", "tool tbmnuMsgSch=Schedule", "tool -",
            "tool tbmnuMsgCG=Groups", "tool tbmnuTempManage=Templates"};
        QVERIFY(start());
        QStringList bar;
        const std::function<void(const QList<QAction *> &, const QString &)> list = [&](const QList<QAction *> &items,
                                                                                      const QString &indent) {
            for (QAction *a : items) {
                QString line = a->isSeparator() ? QStringLiteral("-")
                                                : (a->menu() ? a->menu()->objectName() : a->objectName()) + QLatin1Char('=')
                                                      + a->text() + QLatin1Char(' ') + a->shortcut().toString();
                bar << indent + line.trimmed();
                if (a->menu())
                    list(a->menu()->actions(), indent + QStringLiteral("  "));
            }
        };
        list(window().menuBar()->actions(), QString());
        list(window().findChild<QToolBar *>()->actions(), QStringLiteral("tool "));
        QStringList listed;
        QList<std::pair<QString, QString>> screens; // item, the screen it opens
        for (const QString &line : table) {
            listed << line.section(QStringLiteral(" > "), 0, 0);
            if (line.contains(QStringLiteral(" > ")))
                screens.append({line.trimmed().section(QLatin1Char('='), 0, 0), line.section(QStringLiteral(" > "), 1)});
        }
        QCOMPARE(bar, listed);

        window().resize(760, 520);
        QTRY_VERIFY(frame()->width() <= 760); // laid out again at the new size
        for (int round = 0; round < 2; ++round) {
            for (const auto &[item, screen] : screens) {
                const QString tool = QStringLiteral("tb") + item;
                const QByteArray name = (action(qPrintable(tool)) ? tool : item).toLatin1();
                QWidget *opened = open(name.constData());
                QVERIFY2(opened, name.constData());
                QCOMPARE(opened->objectName(), screen);
                QVERIFY(!QApplication::activeModalWidget());
            }
            QCOMPARE(frame()->subWindowList().size(), int(screens.size()));
        }
        QVERIFY2(test::Boxes::open().isEmpty(), qPrintable(test::Boxes::dump()));
        const QRect area = frame()->viewport()->rect();
        for (QMdiSubWindow *sub : frame()->subWindowList())
            QVERIFY2(area.contains(sub->geometry()), qPrintable(sub->widget()->objectName()));
    }

    // The items that work without a screen: the box each shows over the
    // frame, answered OK, and the box that follows.
    void itemsWithoutAScreenAskAndTellOverTheFrame()
    {
        test::FakeGateway gateway;
        QVERIFY(gateway.start());
        gateway.replyWith("Balance: 99");
        db().exec(QStringLiteral("UPDATE config_network SET gatewayHost = ?"), {gateway.host()});
        QVERIFY(start());
        const struct { const char *item; QString first, then; } items[] = {
            {"mnuFileReInit", QStringLiteral("Reinitialization complete!!"), {}},
            {"mnuHelpAnout",
             QStringLiteral("TAVSMS version %1\nBulk SMS Software for GSM and CDMA Mobiles.").arg(AppInfo::version()), {}},
            {"mnuGrpBackup", QStringLiteral("Do you want to create a backup of all your group members?"),
             QStringLiteral("Backup Created")},
            {"mnuISCheck", QStringLiteral("Balance: 99"), {}},
            {"mnuHelpReset", QStringLiteral("Are you sure to reset all settings?"), QStringLiteral("Settings has been reset.")},
        };
        for (const auto &step : items) {
            action(step.item)->trigger();
            QVERIFY2(answer(step.first) == &window(), step.item);
            if (!step.then.isEmpty())
                QVERIFY2(answer(step.then) == &window(), step.item);
            QTRY_VERIFY(!controller().isInitializing());
            QVERIFY2(test::Boxes::open().isEmpty(), qPrintable(test::Boxes::dump()));
        }
    }

    void stopAndStartFollowTheMenu()
    {
        QVERIFY(start());
        QAction *stop = action("mnuFileMSFStop");
        QAction *start = action("mnuFileMSFStart");
        QLabel *stopped = window().stoppedIndicator();
        QVERIFY(stop->isVisible() && !start->isVisible() && stopped->isHidden());
        stop->trigger();
        QVERIFY(!state().sendingRunning());
        QVERIFY(!stop->isVisible() && start->isVisible() && !stopped->isHidden());
        start->trigger();
        QVERIFY(state().sendingRunning());
        QVERIFY(stop->isVisible() && !start->isVisible() && stopped->isHidden());
        // Stopped otherwise (a reset to defaults): the indicator says so, the menu stays.
        state().setSendingRunning(false);
        QVERIFY(!stopped->isHidden() && stop->isVisible());
        // Exit closes the frame and shuts the program down; titles carry no suffix.
        QCOMPARE(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName());
        action("mnuFileExit")->trigger();
        QVERIFY(!window().isVisible() && controller().isShutDown());
    }

    // The queue's count on the next tick (ticking faster here), and debug.txt
    // that takes no lines told until lines go in again, no box in the way.
    void statusBarFollowsTheQueueAndTheDebugLog()
    {
        const QString log = DataDirectory::debugLogPath();
        QVERIFY(QDir().mkdir(log));
        QVERIFY(start());
        QLabel *indicator = window().debugLogIndicator();
        QVERIFY(!indicator->isHidden());
        QCOMPARE(indicator->text(), QStringLiteral("The debug log %1 cannot be written: Is a directory").arg(log));
        QVERIFY2(test::Boxes::open().isEmpty(), qPrintable(test::Boxes::dump()));
        QVERIFY(QDir().rmdir(log));
        controller().debugLog().writeEvent(QStringLiteral(" Activating COM1 - "));
        QVERIFY(indicator->isHidden());

        controller().queueTimer().setInterval(20);
        QVERIFY(controller().store().queue().addToQueue(QStringLiteral("9876543211"), QStringLiteral("y"), kRouteAuto));
        QTRY_COMPARE(window().queuePanel()->text(), QStringLiteral("Q: 1"));
    }

    // A start that fails says why in one critical box over the frame; a
    // database it cannot or may not use stays as it was.
    void aFailedStartIsTold_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("foreign database") << "foreign" << "Critical Error" << "Database\n";
        QTest::newRow("listener port taken") << "port" << "Critical Error" << "HTTP Listener\n";
        QTest::newRow("another program") << "running" << "Application Error" << "Application Already Running";
    }
    void aFailedStartIsTold()
    {
        QFETCH(QString, cause);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QTcpServer taken;
        std::unique_ptr<test::WindowProgram> other;
        if (cause == QLatin1String("foreign")) {
            QFile f(DataDirectory::databasePath());
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("this is not a database\n");
        } else if (cause == QLatin1String("port")) {
            QVERIFY(taken.listen(QHostAddress::Any, 0));
            db().exec(QStringLiteral("UPDATE config_network SET listenerPort = ?"), {int(taken.serverPort())});
        } else {
            makeDatabase();
            other = std::make_unique<test::WindowProgram>();
            QCOMPARE(other->start(), Application::StartResult::Running);
        }
        QFile file(DataDirectory::databasePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();

        QVERIFY(!start());
        QCOMPARE(test::Boxes::open().size(), 1);
        QMessageBox *box = test::Boxes::open().first();
        QCOMPARE(box->windowTitle(), title);
        QCOMPARE(box->icon(), QMessageBox::Critical);
        QVERIFY2(box->text().startsWith(text), qPrintable(box->text()));
        QCOMPARE(box->parentWidget(), &window());
        file.seek(0);
        if (cause != QLatin1String("port"))
            QCOMPARE(file.readAll(), before);
    }

    // Show Stats counts the period chosen into the boxes and the bars,
    // COM1 to COM5, the Internet, the total.
    void messageFlowShowsThePeriodChosen()
    {
        QVERIFY(start());
        db().exec(QStringLiteral("UPDATE config_ports SET mobileOperator = 'Airtel' WHERE softwarePortNo = 'COM1'"));
        const QDateTime now(QDate(2026, 12, 7), QTime(10, 0));
        state().setClock([now] { return now; });
        addRow(QStringLiteral("Delivered"), QStringLiteral("COM1"), QStringLiteral("2026-12-07 09:00:00"));
        addRow(QStringLiteral("Delivered"), QStringLiteral("WEBGATEWAY"), QStringLiteral("2026-12-06 12:00:00"));

        auto *screen = open<MessageFlowWindow>("mnuReportMMF");
        QVERIFY(screen);
        QCOMPARE(child<QLabel>(screen, "lblCOM1")->text(), QStringLiteral("COM1 - Airtel"));
        const struct { const char *period; QStringList boxes; } steps[] = {
            {"Today", {"1", "0", "0", "0", "0", "0", "1"}},
            {"Yesterday", {"0", "0", "0", "0", "0", "1", "1"}},
        };
        for (const auto &step : steps) {
            QVERIFY(test::Controls::choose(child<QComboBox>(screen, "cboInterval"), QString::fromLatin1(step.period)));
            QTest::mouseClick(child<QPushButton>(screen, "cmdShowStats"), Qt::LeftButton);
            QStringList boxes, bars;
            for (const char *name : {"txtCOM1", "txtCOM2", "txtCOM3", "txtCOM4", "txtCOM5", "txtInternet", "txtTotal"})
                boxes << child<QLineEdit>(screen, name)->text();
            for (int i = 0; i < screen->bars()->count(); ++i)
                bars << QString::number(screen->bars()->at(i));
            QCOMPARE(boxes, step.boxes);
            QCOMPARE(bars, step.boxes.first(6));
        }
    }

    // The view holds sending while it is open; Clear Queue empties its grid.
    void queueViewHoldsSendingAndClearsItsGrid()
    {
        QVERIFY(start());
        addRow(QStringLiteral("Pending"));
        addRow(QStringLiteral("Delivered"), QStringLiteral("COM1"), QStringLiteral("2026-12-07 09:00:00"));
        addRow(QStringLiteral("Pending"));

        auto *screen = open<QueuedMessagesWindow>("mnuMsgQMsg");
        QVERIFY(screen);
        QVERIFY(!state().sendingRunning());
        QCOMPARE(screen->grid()->model()->rowCount(), 2);
        QTest::mouseClick(child<QPushButton>(screen, "cmdClear"), Qt::LeftButton);
        QCOMPARE(answer(QStringLiteral("This will delete all the messages from the queue. Are you sure to do that?\n"
                                       "Click OK to continue or Cancel to abort the operation.")),
                 screen);
        QCOMPARE(answer(QStringLiteral("Queue has been cleared!!")), screen);
        QCOMPARE(screen->grid()->model()->rowCount(), 0);

        frame()->closeAllSubWindows();
        QTRY_VERIFY(!window().findChild<QueuedMessagesWindow *>());
        QVERIFY(state().sendingRunning());
    }

    // Each way of answering, on one screen: a question asked after an answer
    // opens its own box. Enter takes the button offered; Escape is Cancel.
    void everyAnswerResumesTheQuestion()
    {
        Screen screen;
        screen.show();
        const struct { Default preset; QMessageBox::StandardButton button; Qt::Key key; bool expected; } answers[] = {
            {Default::Ok, QMessageBox::Ok, Qt::Key_unknown, true},
            {Default::Ok, QMessageBox::Cancel, Qt::Key_unknown, false},
            {Default::Ok, QMessageBox::NoButton, Qt::Key_Escape, false},
            {Default::Cancel, QMessageBox::NoButton, Qt::Key_Return, false},
            {Default::Ok, QMessageBox::NoButton, Qt::Key_Return, true},
        };
        for (const auto &a : answers) {
            std::optional<bool> answer;
            auto task = ask(screen.prompter, &answer, a.preset);
            QMessageBox *box = test::Boxes::waitFor(QStringLiteral("Are you sure?"), QStringLiteral("Delete Keyword"));
            QVERIFY(box);
            QCOMPARE(box->parentWidget(), &screen);
            QCOMPARE(box->windowModality(), Qt::WindowModal);
            QCOMPARE(box->icon(), QMessageBox::Question);
            QCOMPARE(static_cast<QAbstractButton *>(box->defaultButton()),
                     box->button(a.preset == Default::Cancel ? QMessageBox::Cancel : QMessageBox::Ok));
            QVERIFY(!answer);
            if (a.button != QMessageBox::NoButton)
                test::Boxes::press(box, a.button);
            else
                QTest::keyClick(box, a.key);
            QTRY_VERIFY(answer.has_value());
            QCOMPARE(*answer, a.expected);
        }
        QTRY_COMPARE(screen.prompter.openBoxes(), 0);
    }

    void noticesShowIconTitleAndText()
    {
        Screen screen;
        screen.show();
        QSignalSpy allClosed(&screen.prompter, &MessageBoxPrompter::allClosed);
        screen.prompter.critical(QStringLiteral("Critical Error"), QStringLiteral("Database\r\nno such file"));
        screen.prompter.exclamation(QString(), QStringLiteral("careful"));
        screen.prompter.plain(QStringLiteral("Note"), QStringLiteral("plain"));
        QCOMPARE(screen.prompter.openBoxes(), 3);
        // CR LF shown as a line break; a box without a title shows the program's.
        const struct { QString text, title; QMessageBox::Icon icon; } boxes[] = {
            {QStringLiteral("Database\nno such file"), QStringLiteral("Critical Error"), QMessageBox::Critical},
            {QStringLiteral("careful"), applicationTitle(), QMessageBox::Warning},
            {QStringLiteral("plain"), QStringLiteral("Note"), QMessageBox::NoIcon}};
        for (const auto &b : boxes) {
            QMessageBox *box = test::Boxes::find(b.text, b.title);
            QVERIFY2(box && box->icon() == b.icon && box->standardButtons() == QMessageBox::Ok, qPrintable(b.text));
        }
        test::Boxes::dismissAll();
        QTRY_COMPARE(allClosed.count(), 1);
    }

    void aQuestionWhoseScreenClosesNeverResumes()
    {
        std::optional<bool> answer;
        auto *screen = new Screen;
        screen->show();
        auto task = ask(screen->prompter, &answer);
        QVERIFY(test::Boxes::waitFor(QStringLiteral("Are you sure?")));
        delete screen; // the box goes with it
        test::Boxes::settle();
        QVERIFY(test::Boxes::open().isEmpty());
        QVERIFY(!answer.has_value());

        // Answered, but the screen closed before its handler could go on.
        screen = new Screen;
        screen->show();
        auto later = ask(screen->prompter, &answer);
        QMessageBox *box = test::Boxes::waitFor(QStringLiteral("Are you sure?"));
        QVERIFY(box);
        test::Boxes::press(box, QMessageBox::Ok);
        delete screen;
        test::Boxes::settle();
        QVERIFY(!answer.has_value());
    }

    void aSecondQuestionWhileOneIsOpenIsRefused()
    {
        Screen screen;
        screen.show();
        std::optional<bool> first, second;
        auto a = ask(screen.prompter, &first);
        QVERIFY(test::Boxes::waitFor(QStringLiteral("Are you sure?")));
        auto b = ask(screen.prompter, &second); // a second click on the same button
        QTRY_VERIFY(second.has_value());
        QCOMPARE(*second, false);
        QCOMPARE(test::Boxes::open().size(), 1);
        QVERIFY(!first.has_value());
        test::Boxes::press(test::Boxes::open().first(), QMessageBox::Ok);
        QTRY_VERIFY(first.has_value());
        QCOMPARE(*first, true);
    }

    void groupReportPreviewedAndSaved()
    {
        QVERIFY(openReports());
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
        QVERIFY(openReports());
        QVERIFY(test::Controls::choose(child<QComboBox>(m_reports, "cboDay"), QStringLiteral("31")));
        QVERIFY(test::Controls::choose(child<QComboBox>(m_reports, "cboMonth"), QStringLiteral("4")));
        child<QPushButton>(m_reports, "cmdShowDate")->click();
        QCOMPARE(answer(QStringLiteral("An error has been occured!!")), m_reports);
        QVERIFY(!m_reports->lastReport());

        QVERIFY(test::Controls::choose(child<QComboBox>(m_reports, "cboDay"), QStringLiteral("30")));
        child<QPushButton>(m_reports, "cmdShowDate")->click();
        QVERIFY(m_reports->lastReport());
        QCOMPARE(m_reports->lastReport()->windowTitle(),
                 QStringLiteral("Messages Sent On and After Date 4/30/%1").arg(QDate::currentDate().year()));
    }

    void cancelledSaveLeavesNoFile()
    {
        QVERIFY(openReports());
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
        QVERIFY(openReports());
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
        QVERIFY(openReports());
        child<QPushButton>(m_reports, "cmdShowConnection")->click();
        ReportWindow *report = m_reports->lastReport();
        QVERIFY(report);
        QCOMPARE(report->windowTitle(), QStringLiteral("Messages Sent By Connection Software Port 1"));
        child<QPushButton>(report, "cmdPrint")->click();
        QCOMPARE(answer(QStringLiteral("No printer is installed. Use \"Save as PDF\" to keep the report.")), report);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
