// The two sending screens through their controls and real boxes.
#include "ComposeFixture.h"
#include "LimitedTextEdit.h"
#include "QueueLog.h"
#include "SendGroupWindow.h"
#include "SendSingleWindow.h"
#include "SmsPdu.h"
#include "WindowTest.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace tavsms;
using namespace tavsms::test::Controls;

class TestSendWindows : public test::WindowTest
{
    Q_OBJECT

    std::unique_ptr<test::ComposeFixture> f;

    void setUp() override { f = std::make_unique<test::ComposeFixture>(); }
    void tearDown() override { f.reset(); }

    // The counter and the label beside it, as one reads them.
    static QString shown(QWidget *screen)
    {
        return child<QLabel>(screen, "lblCounter")->text() + child<QLabel>(screen, "lblLimit")->text();
    }

private Q_SLOTS:
    void singleScreenFromGroupToQueue()
    {
        f->presentPort(0, QStringLiteral("Airtel"), QStringLiteral("GSM Modem - TAV"));
        f->presentPort(2, QStringLiteral("Reliance"), QStringLiteral("CDMA Mobile - Nokia"));
        f->addMember(f->addGroup(QStringLiteral("Staff")), QStringLiteral("9876543210"), QStringLiteral("Ram"));
        Templates(f->db()).add(QStringLiteral("Meeting"), QStringLiteral("Meeting at five"));
        SendSingleWindow screen(f->store, f->state);
        screen.show();
        auto *number = child<QComboBox>(&screen, "cboNumber");
        auto *message = child<LimitedTextEdit>(&screen, "txtMessage");
        auto *tree = child<QTreeWidget>(&screen, "tvTemplates");

        // The connection sets the limit; the group, the numbers; a template, the text.
        QCOMPARE(shown(&screen), QStringLiteral("0/130")); // the last present port is CDMA
        QVERIFY(choose(child<QComboBox>(&screen, "cboModem"), QStringLiteral("Airtel")));
        QCOMPARE(shown(&screen), QStringLiteral("0/160"));
        QVERIFY(choose(child<QComboBox>(&screen, "cboGroup"), QStringLiteral("Staff")));
        QCOMPARE(items(number), QStringList{"9876543210 -- Ram"});
        emit tree->itemClicked(tree->topLevelItem(0)->child(0), 0);
        QCOMPARE(message->toPlainText(), QStringLiteral("Meeting at five"));
        QCOMPARE(shown(&screen), QStringLiteral("15/160"));

        // Typing stops at the limit.
        message->setFocus();
        QTest::keyClick(message, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(message, QString(200, QLatin1Char('x')));
        QCOMPARE(message->toPlainText().size(), 160);

        number->setEditText(QStringLiteral("98765"));
        QTest::mouseClick(child<QPushButton>(&screen, "cmdSend"), Qt::LeftButton);
        QCOMPARE(answer(QStringLiteral("Please enter a valid number.")), &screen);
        QVERIFY(screen.focusWidget() == number || screen.focusWidget() == number->lineEdit());

        number->setCurrentIndex(0);
        message->setPlainText(QStringLiteral("See you\nat five"));
        QTest::mouseClick(child<QPushButton>(&screen, "cmdSend"), Qt::LeftButton);
        QCOMPARE(answer(QStringLiteral("Message Queued for Delivery.")), &screen);
        QCOMPARE(test::QueueLog(f->db()).rows(QStringLiteral("outgoing_mobileNo, com_port, outgoing_message")),
                 QStringList{"9876543210|COM1|See you at five"});
        QCOMPARE(message->toPlainText(), QStringLiteral("See you\nat five")); // kept for another send
    }

    // A port in PDU mode counts characters and parts and takes up to ten
    // parts; every other connection keeps the count against 160 or 130.
    void counterShowsPartsOnAPduPort()
    {
        f->presentPort(0, QStringLiteral("Airtel"), QStringLiteral("GSM Modem - TAV"));
        f->presentPort(1, QStringLiteral("Jio"), QStringLiteral("GSM Modem - Other"), true);
        SendSingleWindow screen(f->store, f->state);
        screen.show();
        auto *modems = child<QComboBox>(&screen, "cboModem");
        auto *message = child<LimitedTextEdit>(&screen, "txtMessage");
        QCOMPARE(shown(&screen), QStringLiteral("0/160")); // Auto with a text-mode port among the ports

        QVERIFY(choose(modems, QStringLiteral("Jio")));
        QCOMPARE(shown(&screen), QStringLiteral("0 / 1 SMS"));

        const QString greeting = QStringLiteral("नमस्ते ");
        QString full = greeting.repeated(95);
        while (SmsPdu::plan(full + QStringLiteral("क")).parts == SmsPdu::kMaxParts)
            full += QStringLiteral("क");
        const struct { QString text, shown; } counts[] = {
            {greeting.repeated(10) + QStringLiteral("धन्यवाद"), QStringLiteral("77 / 2 SMS")},
            {full, QStringLiteral("%1 / 10 SMS").arg(full.size())},
            // A text the program sets is never cut; the counter says it is too long.
            {full + QStringLiteral("और"), QStringLiteral("%1 / more than 10 SMS").arg(full.size() + 2)},
        };
        for (const auto &c : counts) {
            message->setPlainText(c.text);
            QCOMPARE(shown(&screen), c.shown);
        }

        // Typing and pasting stop where ten parts are full.
        message->setPlainText(full);
        message->setFocus();
        QTest::keyClick(message, Qt::Key_End, Qt::ControlModifier);
        QTest::sendKeyEvent(QTest::Click, message, Qt::Key_unknown, QStringLiteral("ग"), Qt::NoModifier);
        QTest::keyClicks(message, QStringLiteral("abc"));
        QCOMPARE(message->toPlainText(), full);
        message->clear();
        QApplication::clipboard()->setText(full + QStringLiteral("और बहुत कुछ"));
        message->paste();
        QCOMPARE(message->toPlainText(), full);

        // Another connection: the old count.
        QVERIFY(choose(modems, QStringLiteral("Airtel")));
        message->setPlainText(QStringLiteral("Meeting at five"));
        QCOMPARE(shown(&screen), QStringLiteral("15/160"));

        // Auto counts parts when every port found is in PDU mode; so does the group screen.
        f->state.port(0).pdu = true;
        SendGroupWindow allPdu(f->store, f->state);
        allPdu.show();
        child<LimitedTextEdit>(&allPdu, "txtMessage")->setPlainText(greeting);
        QCOMPARE(shown(&allPdu), QStringLiteral("7 / 1 SMS"));
    }

    void groupScreenWithoutGroupsCannotSend()
    {
        SendGroupWindow screen(f->store, f->state);
        screen.show();
        QVERIFY(!child<QPushButton>(&screen, "cmdSend")->isEnabled());
    }

    // Cancel on the progress bar stops a group send between two chunks, and
    // the box tells how many went into the queue.
    void groupScreenCancelledFromItsProgressBar()
    {
        f->addMembers(f->addGroup(QStringLiteral("Everyone")), 10000);
        SendGroupWindow screen(f->store, f->state);
        screen.show();
        child<LimitedTextEdit>(&screen, "txtMessage")->setPlainText(QStringLiteral("Sale today"));
        auto *send = child<QPushButton>(&screen, "cmdSend");
        QTest::mouseClick(send, Qt::LeftButton);
        QVERIFY(!send->isEnabled());
        QVERIFY(screen.progress().dialog());
        screen.progress().dialog()->findChild<QPushButton *>()->click();
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = test::Boxes::open().value(0)) != nullptr);
        const qint64 rows = test::QueueLog(f->db()).count();
        QVERIFY(rows > 0 && rows < 10000);
        QCOMPARE(box->text(), QStringLiteral("Queueing was cancelled: %1 of 10000 messages were queued.").arg(rows));
        QCOMPARE(box->parentWidget(), &screen);
        test::Boxes::press(box, QMessageBox::Ok);
        QVERIFY(send->isEnabled());
        QVERIFY(!screen.progress().dialog());
    }
};

QTEST_MAIN(TestSendWindows)
#include "tst_sendwindows.moc"
