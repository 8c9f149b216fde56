// The group screens through their controls, input boxes and real message boxes.
#include "GroupMembersWindow.h"
#include "GroupWindow.h"
#include "WindowTest.h"

#include <QComboBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test::Controls;

class TestGroupWindows : public test::WindowTest
{
    Q_OBJECT

    static void click(QWidget *screen, const char *button)
    {
        QTest::mouseClick(child<QPushButton>(screen, button), Qt::LeftButton);
    }
    // Types into the input box the screen has open and presses OK.
    static void enter(QWidget *screen, const QString &label, const QString &text)
    {
        QInputDialog *input = nullptr;
        QTRY_VERIFY((input = screen->findChild<QInputDialog *>()) != nullptr && input->isVisible()
                    && input->labelText() == label);
        input->setTextValue(text);
        input->accept();
        QTRY_VERIFY(!input->isVisible() || input->labelText() != label);
    }

private Q_SLOTS:
    void fromNewGroupToSavedMembersAndBack()
    {
        GroupWindow screen(db());
        screen.show();
        auto *save = child<QPushButton>(&screen, "cmdSave");
        QTest::keyClicks(child<QLineEdit>(&screen, "txtGroupName"), QStringLiteral("Sales & Co"));
        click(&screen, "cmdCreateGroup");
        QCOMPARE(answer(QStringLiteral("Group Created")), &screen);
        QCOMPARE(child<QComboBox>(&screen, "cboBulkGroup")->currentText(), QStringLiteral("Sales and Co"));
        QVERIFY(child<QLineEdit>(&screen, "txtGroupName")->text().isEmpty());

        click(&screen, "cmdSeries");
        enter(&screen, QStringLiteral("Start From"), QStringLiteral("9876500000"));
        enter(&screen, QStringLiteral("Create upto"), QStringLiteral("9876500002"));
        auto *bulk = child<QPlainTextEdit>(&screen, "txtBulk");
        QTRY_COMPARE(bulk->toPlainText(), QStringLiteral("9876500000\n9876500001\n9876500002"));

        // A line that fails validation is selected; Save waits for a clean run.
        bulk->appendPlainText(QStringLiteral("12345, Too short"));
        click(&screen, "cmdValidate");
        QVERIFY(answer(QStringLiteral("Error at line 4. Invalid Destination Number. It should be 10 digit long.")));
        QCOMPARE(bulk->textCursor().selectedText(), QStringLiteral("12345, Too short"));
        QVERIFY(!bulk->isReadOnly() && !save->isEnabled());
        bulk->textCursor().insertText(QStringLiteral("9876500009, Ravi"));
        click(&screen, "cmdValidate");
        QVERIFY(answer(QStringLiteral("Validation Completed.")));
        QVERIFY(bulk->isReadOnly() && save->isEnabled());
        click(&screen, "cmdSave");
        QVERIFY(answer(QStringLiteral("Numbers added to the group.\n\n4 members added.")));
        QVERIFY(bulk->toPlainText().isEmpty() && !save->isEnabled());

        GroupMembersWindow members(db());
        members.show();
        click(&members, "cmdShow");
        QCOMPARE(child<QTableView>(&members, "grdMembers")->model()->rowCount(), 4);

        click(&screen, "cmdDelete");
        QVERIFY(answer(QStringLiteral("You are going to delete group named ''Sales and Co'' and all it's members. Are "
                                      "you sure to delete it?")));
        QVERIFY(answer(QStringLiteral("Group has been deleted.")));
        QCOMPARE(child<QComboBox>(&screen, "cboManageGroup")->count(), 0);
    }

    void closingDuringTheSeriesQuestionResumesNothing()
    {
        auto *screen = new GroupWindow(db());
        screen->show();
        click(screen, "cmdSeries");
        QTRY_VERIFY(screen->findChild<QInputDialog *>());
        delete screen; // the input box goes with it; nothing may touch the screen after
        test::Boxes::settle();
    }
};

QTEST_MAIN(TestGroupWindows)
#include "tst_groupwindows.moc"
