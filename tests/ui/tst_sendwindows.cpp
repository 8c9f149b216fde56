// The two sending screens offscreen, through their controls and real boxes.
#include "ComposeFixture.h"
#include "LimitedTextEdit.h"
#include "Controls.h"
#include "MessageBoxes.h"
#include "SendGroupWindow.h"
#include "SendSingleWindow.h"
#include "SmsPdu.h"

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
using namespace tavsms::test;

class TestSendWindows : public QObject
{
    Q_OBJECT

    static void answer(const QString &text, const QString &title = {})
    {
        QMessageBox *box = Boxes::waitFor(text, title);
        QVERIFY2(box, qPrintable(Boxes::dump()));
        Boxes::press(box, QMessageBox::Ok);
    }

    std::unique_ptr<ComposeFixture> f;

private Q_SLOTS:
    void init() { f = std::make_unique<ComposeFixture>(); }
    void cleanup() { Boxes::dismissAll(); }

    void singleScreenFromGroupToQueue()
    {
        f->presentPort(0, QStringLiteral("Airtel"), QStringLiteral("GSM Modem - TAV"));
        f->presentPort(2, QStringLiteral("Reliance"), QStringLiteral("CDMA Mobile - Nokia"));
        f->addMember(f->addGroup(QStringLiteral("Staff")), QStringLiteral("9876543210"), QStringLiteral("Ram"));
        Templates(f->db()).add(QStringLiteral("Meeting"), QStringLiteral("Meeting at five"));
        SendSingleWindow screen(f->store, f->state);
        screen.show();

        auto *modems = child<QComboBox>(&screen, "cboModem");
        auto *number = child<QComboBox>(&screen, "cboNumber");
        auto *message = child<LimitedTextEdit>(&screen, "txtMessage");
        auto *limit = child<QLabel>(&screen, "lblLimit");
        auto *counter = child<QLabel>(&screen, "lblCounter");
        auto *tree = child<QTreeWidget>(&screen, "tvTemplates");
        QCOMPARE(items(modems), (QStringList{"Auto", "WEBGATEWAY", "Airtel", "Reliance"}));
        QCOMPARE(modems->currentText(), QStringLiteral("Auto"));
        QCOMPARE(limit->text(), QStringLiteral("/130")); // the last present port is CDMA
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Templates"));
        QVERIFY(tree->topLevelItem(0)->isExpanded());
        QCOMPARE(tree->topLevelItem(0)->child(0)->data(0, Qt::UserRole).toString(), QStringLiteral("child1"));

        QVERIFY(choose(modems, QStringLiteral("Airtel")));
        QCOMPARE(limit->text(), QStringLiteral("/160"));
        QVERIFY(choose(child<QComboBox>(&screen, "cboGroup"), QStringLiteral("Staff")));
        QCOMPARE(items(number), QStringList{"9876543210 -- Ram"});

        tree->setCurrentItem(tree->topLevelItem(0)->child(0));
        emit tree->itemClicked(tree->topLevelItem(0)->child(0), 0);
        QCOMPARE(message->toPlainText(), QStringLiteral("Meeting at five"));
        QCOMPARE(counter->text(), QStringLiteral("15"));

        // Typing stops at the limit.
        message->setFocus();
        QTest::keyClick(message, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(message, QString(200, QLatin1Char('x')));
        QCOMPARE(message->toPlainText().size(), 160);
        QCOMPARE(counter->text(), QStringLiteral("160"));

        number->setEditText(QStringLiteral("98765"));
        QTest::mouseClick(child<QPushButton>(&screen, "cmdSend"), Qt::LeftButton);
        answer(QStringLiteral("Please enter a valid number."), QStringLiteral("Error"));
        QVERIFY(screen.focusWidget() == number || screen.focusWidget() == number->lineEdit());
        QCOMPARE(f->queued(), 0);

        number->setCurrentIndex(0);
        message->setPlainText(QStringLiteral("See you\nat five"));
        QTest::mouseClick(child<QPushButton>(&screen, "cmdSend"), Qt::LeftButton);
        answer(QStringLiteral("Message Queued for Delivery."));
        QCOMPARE(f->rows(), QStringList{"9876543210|COM1|See you at five"});
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
        auto *limit = child<QLabel>(&screen, "lblLimit");
        auto *counter = child<QLabel>(&screen, "lblCounter");
        const auto shown = [&] { return counter->text() + limit->text(); };
        QCOMPARE(shown(), QStringLiteral("0/160")); // Auto with a text-mode port among the ports

        QVERIFY(choose(modems, QStringLiteral("Jio")));
        QCOMPARE(shown(), QStringLiteral("0 / 1 SMS"));
        message->setFocus();
        QTest::sendKeyEvent(QTest::Click, message, Qt::Key_unknown, QStringLiteral("क"), Qt::NoModifier);
        QCOMPARE(message->toPlainText(), QStringLiteral("क"));
        QCOMPARE(shown(), QStringLiteral("1 / 1 SMS"));
        const QString greeting = QStringLiteral("नमस्ते ");
        message->setPlainText(greeting.repeated(10) + QStringLiteral("धन्यवाद"));
        QCOMPARE(shown(), QStringLiteral("77 / 2 SMS"));
        message->setPlainText(QString(160, QLatin1Char('x')));
        QCOMPARE(shown(), QStringLiteral("160 / 1 SMS"));
        message->setPlainText(QString(161, QLatin1Char('x')));
        QCOMPARE(shown(), QStringLiteral("161 / 2 SMS"));

        // Typing and pasting stop where ten parts are full.
        QString full = greeting.repeated(95);
        while (SmsPdu::plan(full + QStringLiteral("क")).parts == SmsPdu::kMaxParts)
            full += QStringLiteral("क");
        message->setPlainText(full);
        QCOMPARE(shown(), QStringLiteral("%1 / 10 SMS").arg(full.size()));
        QTest::keyClick(message, Qt::Key_End, Qt::ControlModifier);
        QTest::sendKeyEvent(QTest::Click, message, Qt::Key_unknown, QStringLiteral("ग"), Qt::NoModifier);
        QTest::keyClicks(message, QStringLiteral("abc"));
        QCOMPARE(message->toPlainText(), full);
        message->clear();
        QApplication::clipboard()->setText(full + QStringLiteral("और बहुत कुछ"));
        message->paste();
        QCOMPARE(message->toPlainText(), full);
        // A text the program sets is never cut; the counter says it is too long.
        message->setPlainText(full + QStringLiteral("और"));
        QCOMPARE(limit->text(), QStringLiteral(" / more than 10 SMS"));

        // Another connection: the old count, and the old limit while typing.
        QVERIFY(choose(modems, QStringLiteral("Airtel")));
        message->setPlainText(QStringLiteral("Meeting at five"));
        QCOMPARE(shown(), QStringLiteral("15/160"));
        QVERIFY(choose(modems, QStringLiteral("Jio")));
        QVERIFY(choose(modems, QStringLiteral("WEBGATEWAY")));
        QCOMPARE(shown(), QStringLiteral("15/160"));
        message->clear();
        QTest::keyClicks(message, QString(200, QLatin1Char('x')));
        QCOMPARE(message->toPlainText().size(), 160);

        // Auto counts parts when every port found is in PDU mode; so does the group screen.
        f->state.port(0).pdu = true;
        SendGroupWindow allPdu(f->store, f->state);
        allPdu.show();
        child<LimitedTextEdit>(&allPdu, "txtMessage")->setPlainText(greeting);
        QCOMPARE(child<QLabel>(&allPdu, "lblCounter")->text() + child<QLabel>(&allPdu, "lblLimit")->text(),
                 QStringLiteral("7 / 1 SMS"));
    }

    void groupScreenWithoutGroupsCannotSend()
    {
        SendGroupWindow screen(f->store, f->state);
        screen.show();
        QCOMPARE(items(child<QComboBox>(&screen, "cboGroup")), QStringList{"Groups Not Available"});
        QVERIFY(!child<QPushButton>(&screen, "cmdSend")->isEnabled());
    }

    // A long group send shows its progress bar; Cancel there stops it, and
    // the box tells how many went into the queue.
    void groupScreenCancelledFromItsProgressBar()
    {
        f->addMembers(f->addGroup(QStringLiteral("Everyone")), 100000);
        SendGroupWindow screen(f->store, f->state);
        screen.show();
        child<LimitedTextEdit>(&screen, "txtMessage")->setPlainText(QStringLiteral("Sale today"));
        auto *send = child<QPushButton>(&screen, "cmdSend");
        QTest::mouseClick(send, Qt::LeftButton);
        QVERIFY(!send->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(screen.progress().dialog() && screen.progress().dialog()->isVisible(), 10000);
        QTest::mouseClick(screen.progress().dialog()->findChild<QPushButton *>(), Qt::LeftButton);
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = Boxes::open().value(0)) != nullptr);
        const qint64 rows = f->queued();
        QVERIFY(rows > 0 && rows < 100000);
        QCOMPARE(box->windowTitle(), QStringLiteral("Cancelled"));
        QCOMPARE(box->text(), QStringLiteral("Queueing was cancelled: %1 of 100000 messages were queued.").arg(rows));
        Boxes::press(box, QMessageBox::Ok);
        QVERIFY(send->isEnabled());
        QVERIFY(!screen.progress().dialog());
    }
};

QTEST_MAIN(TestSendWindows)
#include "tst_sendwindows.moc"
