// The "Auto Reply Settings" window offscreen: what it shows and that it forwards to its logic.
#include "AutoReplyWindow.h"
#include "DataDirectory.h"
#include "ListenerPort.h"
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

class TestAutoReplyWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void opensFromTheMenuAndDrivesItsLogic()
    {
        test::TestDataDirectory dir;
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        test::useFreeListenerPort(DataDirectory::databasePath());
        test::WindowProgram program;
        MainWindow &window = program.window;
        QCOMPARE(program.start(), Application::StartResult::Running);
        Database &db = program.app.store().db();
        db.exec(QStringLiteral("UPDATE config_ports SET portActive = 1, mobileOperator = 'Airtel' "
                               "WHERE softwarePortNo = 'COM1'"));
        db.exec(QStringLiteral("INSERT INTO groups (group_name) VALUES ('Friends')"));
        window.show();

        window.findChild<QAction *>(QStringLiteral("mnuMsgIncoming"))->trigger();
        window.findChild<QAction *>(QStringLiteral("mnuMsgIncoming"))->trigger(); // once only
        auto *mdi = window.findChild<QMdiArea *>();
        QCOMPARE(mdi->subWindowList().size(), 1);
        auto *screen = window.findChild<AutoReplyWindow *>(QStringLiteral("frmAutoReply"));
        QVERIFY(screen);
        QCOMPARE(screen->windowTitle(), QStringLiteral("Auto Reply Settings"));

        auto *add = screen->findChild<QRadioButton *>(QStringLiteral("optAdd"));
        QCOMPARE(add->text(), QStringLiteral("Add to a Group"));
        QCOMPARE(add->toolTip(), QStringLiteral("Add to the above group."));
        QVERIFY(screen->findChild<QRadioButton *>(QStringLiteral("optNoAction"))->isChecked());
        auto *url = screen->findChild<QLineEdit *>(QStringLiteral("txtUrl"));
        QVERIFY(!url->isEnabled());
        screen->findChild<QRadioButton *>(QStringLiteral("optPush"))->click();
        QVERIFY(url->isEnabled());
        QTest::keyClicks(url, QStringLiteral("HTTP://X/?a=@@SENDER@@"));
        emit url->editingFinished();
        QCOMPARE(url->text(), QStringLiteral("http://x/?a=@@sender@@"));

        // Create a keyword through the widgets and find it in the action frame.
        QTest::keyClicks(screen->findChild<QLineEdit *>(QStringLiteral("txtKeyword")), QStringLiteral("join"));
        screen->findChild<QPushButton *>(QStringLiteral("cmdCreateKey"))->click();
        QVERIFY(test::Boxes::find(QStringLiteral("Keyword has been created."), QStringLiteral("Added")));
        test::Boxes::dismissAll();
        auto *connection = screen->findChild<QComboBox *>(QStringLiteral("cboActionConnection"));
        QCOMPARE(connection->currentText(), QStringLiteral("Airtel"));
        emit connection->activated(0);
        auto *keywords = screen->findChild<QComboBox *>(QStringLiteral("cboKeyword"));
        QCOMPARE(keywords->currentText(), QStringLiteral("join"));

        screen->findChild<QRadioButton *>(QStringLiteral("optAdd"))->click();
        screen->findChild<QPlainTextEdit *>(QStringLiteral("txtReply"))->setPlainText(QStringLiteral("Welcome"));
        screen->findChild<QPushButton *>(QStringLiteral("cmdSave"))->click();
        QVERIFY(test::Boxes::find(QStringLiteral("Keyword details has been updated!"), QStringLiteral("Success")));
        test::Boxes::dismissAll();
        QCOMPARE(db.scalar(QStringLiteral("SELECT group_name FROM auto_reply WHERE auto_reply_keyword = 'join'")).toString(),
                 QStringLiteral("Friends"));
        QVERIFY(screen->findChild<QPlainTextEdit *>(QStringLiteral("txtReply"))->toPlainText().isEmpty());
    }
};

QTEST_MAIN(TestAutoReplyWindow)
#include "tst_autoreplywindow.moc"
