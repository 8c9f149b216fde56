// The "Auto Reply Settings" window offscreen: what it shows, that it forwards
// to its logic, and its questions answered by pressing their buttons.
#include "AutoReplyWindow.h"
#include "DataDirectory.h"
#include "ListenerPort.h"
#include "Controls.h"
#include "MessageBoxes.h"
#include "Store.h"
#include "TestDataDirectory.h"
#include "WindowProgram.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test::Controls;

class TestAutoReplyWindow : public QObject
{
    Q_OBJECT


    std::unique_ptr<test::TestDataDirectory> m_dir;
    std::unique_ptr<test::WindowProgram> m_program;

    // The program running, COM1 active as "Airtel".
    Database &startWithAirtel()
    {
        m_program = std::make_unique<test::WindowProgram>();
        [&] { QCOMPARE(m_program->start(), Application::StartResult::Running); }();
        Database &db = m_program->app.store().db();
        db.exec(QStringLiteral("UPDATE config_ports SET portActive = 1, mobileOperator = 'Airtel' "
                               "WHERE softwarePortNo = 'COM1'"));
        return db;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<test::TestDataDirectory>();
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        test::useFreeListenerPort(DataDirectory::databasePath());
    }
    void cleanup()
    {
        test::Boxes::dismissAll();
        m_program.reset();
        m_dir.reset();
    }

    void opensFromTheMenuAndDrivesItsLogic()
    {
        Database &db = startWithAirtel();
        test::WindowProgram &program = *m_program;
        MainWindow &window = program.window;
        db.exec(QStringLiteral("INSERT INTO groups (group_name) VALUES ('Friends')"));

        program.action("mnuMsgIncoming")->trigger();
        program.action("mnuMsgIncoming")->trigger(); // once only
        auto *mdi = window.findChild<QMdiArea *>();
        QCOMPARE(mdi->subWindowList().size(), 1);
        auto *screen = window.findChild<AutoReplyWindow *>(QStringLiteral("frmAutoReply"));
        QVERIFY(screen);
        QCOMPARE(screen->windowTitle(), QStringLiteral("Auto Reply Settings"));

        auto *add = child<QRadioButton>(screen, "optAdd");
        QCOMPARE(add->text(), QStringLiteral("Add to a Group"));
        QCOMPARE(add->toolTip(), QStringLiteral("Add to the above group."));
        QVERIFY(child<QRadioButton>(screen, "optNoAction")->isChecked());
        auto *keywords = child<QComboBox>(screen, "cboKeyword");
        QCOMPARE(keywords->currentText(), QStringLiteral("Select a Keyword"));
        auto *url = child<QLineEdit>(screen, "txtUrl");
        QVERIFY(!url->isEnabled());
        child<QRadioButton>(screen, "optPush")->setChecked(true); // the state, not a click
        QVERIFY(url->isEnabled());
        QTest::keyClicks(url, QStringLiteral("HTTP://X/?a=@@SENDER@@"));
        emit url->editingFinished();
        QCOMPARE(url->text(), QStringLiteral("http://x/?a=@@sender@@"));
        child<QRadioButton>(screen, "optNoAction")->click();
        QVERIFY(!url->isEnabled() && url->text().isEmpty());

        // Create a keyword: the action table lists it at once, chosen.
        auto *keywordBox = child<QLineEdit>(screen, "txtKeyword");
        QTest::keyClicks(keywordBox, QStringLiteral("join"));
        child<QPushButton>(screen, "cmdCreateKey")->click();
        QMessageBox *added = test::Boxes::find(QStringLiteral("Keyword has been created."), QStringLiteral("Added"));
        QVERIFY(added);
        QCOMPARE(added->parentWidget(), screen);
        test::Boxes::dismissAll();
        QVERIFY(keywordBox->text().isEmpty());
        QCOMPARE(child<QComboBox>(screen, "cboActionConnection")->currentText(), QStringLiteral("Airtel"));
        QCOMPARE(keywords->count(), 1);
        QCOMPARE(keywords->currentText(), QStringLiteral("join"));

        // Save its action; the form keeps showing it with what was saved.
        child<QRadioButton>(screen, "optAdd")->click();
        auto *reply = child<QPlainTextEdit>(screen, "txtReply");
        reply->setPlainText(QStringLiteral("Welcome"));
        child<QPushButton>(screen, "cmdSave")->click();
        QVERIFY(test::Boxes::find(QStringLiteral("Keyword details has been updated!"), QStringLiteral("Success")));
        test::Boxes::dismissAll();
        QCOMPARE(db.scalar(QStringLiteral("SELECT group_name FROM auto_reply WHERE auto_reply_keyword = 'join'")).toString(),
                 QStringLiteral("Friends"));
        QCOMPARE(keywords->currentText(), QStringLiteral("join"));
        QCOMPARE(reply->toPlainText(), QStringLiteral("Welcome"));
        QVERIFY(child<QRadioButton>(screen, "optAdd")->isChecked());

        // A failed check puts the cursor where the fault is.
        reply->clear();
        child<QPushButton>(screen, "cmdSave")->click();
        QVERIFY(test::Boxes::find(QStringLiteral("You should specify some reply message."), QStringLiteral("Error")));
        test::Boxes::dismissAll();
        QCOMPARE(screen->focusWidget(), reply);

        // Delete Keyword asks, offering Cancel; Cancel keeps it, OK deletes it.
        const QString question = QStringLiteral("Are you sure to delete keyword join?");
        auto *remove = child<QPushButton>(screen, "cmdDelete");
        remove->click();
        QMessageBox *box = test::Boxes::waitFor(question, QStringLiteral("Delete Keyword"));
        QVERIFY(box);
        QCOMPARE(static_cast<QAbstractButton *>(box->defaultButton()), box->button(QMessageBox::Cancel));
        test::Boxes::press(box, QMessageBox::Cancel);
        QTest::qWait(50);
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM auto_reply")).toInt(), 1);

        remove->click();
        test::Boxes::press(test::Boxes::waitFor(question), QMessageBox::Ok);
        QVERIFY(test::Boxes::waitFor(QStringLiteral("Keyword has been deleted."), QStringLiteral("Keyword Deleted")));
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM auto_reply")).toInt(), 0);
        QCOMPARE(keywords->currentText(), QStringLiteral("No More Keywords"));
    }

    void aQuestionLeftOpenByAClosedScreenDeletesNothing()
    {
        Database &db = startWithAirtel();
        test::WindowProgram &program = *m_program;
        db.exec(QStringLiteral("INSERT INTO auto_reply (auto_reply_keyword, com_port) VALUES ('stop', 'COM1')"));

        program.action("mnuMsgIncoming")->trigger();
        auto *screen = program.window.findChild<AutoReplyWindow *>(QStringLiteral("frmAutoReply"));
        QVERIFY(choose(child<QComboBox>(screen, "cboActionConnection"), QStringLiteral("Airtel")));
        child<QPushButton>(screen, "cmdDelete")->click();
        QMessageBox *box = test::Boxes::waitFor(QStringLiteral("Are you sure to delete keyword stop?"));
        QVERIFY(box);
        QPointer<QMessageBox> watched(box);
        program.window.findChild<QMdiArea *>()->closeAllSubWindows();
        QTRY_VERIFY(!watched);
        QTest::qWait(50);
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(*) FROM auto_reply")).toInt(), 1);
    }
};

QTEST_MAIN(TestAutoReplyWindow)
#include "tst_autoreplywindow.moc"
