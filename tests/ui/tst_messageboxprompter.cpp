// The program's real message boxes, offscreen: questions answered by pressing
// their buttons, as an operator would.
#include "MessageBoxPrompter.h"
#include "WindowTest.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <optional>

using namespace tavsms;
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

class TestMessageBoxPrompter : public test::WindowTest
{
    Q_OBJECT

private Q_SLOTS:
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
        QMessageBox *critical = test::Boxes::find(QStringLiteral("Database\nno such file"), QStringLiteral("Critical Error"));
        QVERIFY2(critical, qPrintable(test::Boxes::dump()));
        QCOMPARE(critical->icon(), QMessageBox::Critical);
        QCOMPARE(critical->standardButtons(), QMessageBox::Ok);
        QMessageBox *untitled = test::Boxes::find(QStringLiteral("careful"));
        QVERIFY(untitled);
        QCOMPARE(untitled->windowTitle(), applicationTitle()); // a box without a title shows the program's
        QCOMPARE(untitled->icon(), QMessageBox::Warning);
        QCOMPARE(test::Boxes::find(QStringLiteral("plain"))->icon(), QMessageBox::NoIcon);
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
};

QTEST_MAIN(TestMessageBoxPrompter)
#include "tst_messageboxprompter.moc"
