// The "Auto Reply Settings" window: each control hands the form to its
// logic and shows the form it gets back; its boxes stand over it.
#include "AutoReplyWindow.h"
#include "WindowTest.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test::Controls;

class TestAutoReplyWindow : public test::WindowTest
{
    Q_OBJECT

    // The program running, COM1 active as "Airtel", the screen open.
    AutoReplyWindow *openWithAirtel()
    {
        if (!start())
            return nullptr;
        db().exec(QStringLiteral("UPDATE config_ports SET portActive = 1, mobileOperator = 'Airtel' "
                                 "WHERE softwarePortNo = 'COM1'"));
        db().exec(QStringLiteral("INSERT INTO groups (group_name) VALUES ('Friends')"));
        return open<AutoReplyWindow>("mnuMsgIncoming");
    }

private Q_SLOTS:
    void controlsDriveTheLogic()
    {
        AutoReplyWindow *screen = openWithAirtel();
        QVERIFY(screen);
        auto *keywords = child<QComboBox>(screen, "cboKeyword");
        auto *url = child<QLineEdit>(screen, "txtUrl");
        auto *reply = child<QPlainTextEdit>(screen, "txtReply");

        // The URL box follows the option however it is chosen; leaving it tidies it.
        QVERIFY(!url->isEnabled());
        child<QRadioButton>(screen, "optPush")->setChecked(true);
        QVERIFY(url->isEnabled());
        QTest::keyClicks(url, QStringLiteral("HTTP://X/?a=@@SENDER@@"));
        emit url->editingFinished();
        QCOMPARE(url->text(), QStringLiteral("http://x/?a=@@sender@@"));
        child<QRadioButton>(screen, "optNoAction")->click();
        QVERIFY(!url->isEnabled() && url->text().isEmpty());

        // Create Key: the action table shows the new keyword, chosen.
        QTest::keyClicks(child<QLineEdit>(screen, "txtKeyword"), QStringLiteral("join"));
        child<QPushButton>(screen, "cmdCreateKey")->click();
        QCOMPARE(answer(QStringLiteral("Keyword has been created.")), screen);
        QVERIFY(child<QLineEdit>(screen, "txtKeyword")->text().isEmpty());
        QCOMPARE(child<QComboBox>(screen, "cboActionConnection")->currentText(), QStringLiteral("Airtel"));
        QCOMPARE(items(keywords), QStringList{QStringLiteral("join")});

        // Save Key Action takes the form as it stands and keeps showing it.
        child<QRadioButton>(screen, "optAdd")->click();
        reply->setPlainText(QStringLiteral("Welcome"));
        child<QPushButton>(screen, "cmdSave")->click();
        QCOMPARE(answer(QStringLiteral("Keyword details has been updated!")), screen);
        QCOMPARE(db().scalar(QStringLiteral("SELECT group_name || '|' || auto_reply_response FROM auto_reply")).toString(),
                 QStringLiteral("Friends|Welcome"));
        QVERIFY(child<QRadioButton>(screen, "optAdd")->isChecked());

        // A failed check puts the cursor where the fault is.
        reply->clear();
        child<QPushButton>(screen, "cmdSave")->click();
        QCOMPARE(answer(QStringLiteral("You should specify some reply message.")), screen);
        QCOMPARE(screen->focusWidget(), reply);

        // Delete Keyword, once asked.
        child<QPushButton>(screen, "cmdDelete")->click();
        QCOMPARE(answer(QStringLiteral("Are you sure to delete keyword join?")), screen);
        QCOMPARE(answer(QStringLiteral("Keyword has been deleted.")), screen);
        QCOMPARE(keywords->currentText(), QStringLiteral("No More Keywords"));
    }

    void aQuestionLeftOpenByAClosedScreenDeletesNothing()
    {
        db().exec(QStringLiteral("INSERT INTO auto_reply (auto_reply_keyword, com_port) VALUES ('stop', 'COM1')"));
        AutoReplyWindow *screen = openWithAirtel();
        QVERIFY(screen);
        QVERIFY(choose(child<QComboBox>(screen, "cboActionConnection"), QStringLiteral("Airtel")));
        child<QPushButton>(screen, "cmdDelete")->click();
        QPointer<QMessageBox> box = test::Boxes::waitFor(QStringLiteral("Are you sure to delete keyword stop?"));
        QVERIFY(box);
        frame()->closeAllSubWindows();
        QTRY_VERIFY(!box);
        test::Boxes::settle();
        QCOMPARE(db().scalar(QStringLiteral("SELECT count(*) FROM auto_reply")).toInt(), 1);
    }
};

QTEST_MAIN(TestAutoReplyWindow)
#include "tst_autoreplywindow.moc"
