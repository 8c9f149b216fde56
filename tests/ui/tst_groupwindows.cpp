// The group screens through their controls, input boxes and real message
// boxes; the import screen: the file previewed, saved to the group chosen,
// the save cancelled from its progress bar.
#include "GroupMembersWindow.h"
#include "GroupWindow.h"
#include "ImportWindow.h"
#include "WindowTest.h"

#include <QComboBox>
#include <QFile>
#include <QInputDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
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

    void addGroup(const QString &name)
    {
        db().exec(QStringLiteral("INSERT INTO groups (dated, group_name) VALUES ('2026-01-01 00:00:00', ?)"), {name});
    }
    int membersOf(const QString &group)
    {
        return db().scalar(QStringLiteral("SELECT count(*) FROM groups_mem WHERE group_name = "
                                          "(SELECT id FROM groups WHERE group_name = ?)"),
                           {group})
            .toInt();
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
    void importPreviewAndSave()
    {
        addGroup(QStringLiteral("Zeta"));
        addGroup(QStringLiteral("Staff"));
        ImportWindow screen(db());
        screen.show();
        auto *path = child<QLineEdit>(&screen, "txtPath");
        auto *grid = child<QTableView>(&screen, "grdData");

        path->setText(dataFile(QStringLiteral("members.xls")));
        QTest::mouseClick(child<QPushButton>(&screen, "cmdImport"), Qt::LeftButton);
        QCOMPARE(grid->model()->rowCount(), 6);
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Phone"));
        QCOMPARE(grid->model()->headerData(0, Qt::Vertical).toInt(), 1);
        QCOMPARE(grid->model()->index(3, 1).data().toString(), QStringLiteral("Zoë Müller"));
        QVERIFY(test::Boxes::open().isEmpty());

        QVERIFY(choose(child<QComboBox>(&screen, "cboGroup"), QStringLiteral("Zeta")));
        QTest::mouseClick(child<QPushButton>(&screen, "cmdSave"), Qt::LeftButton);
        QCOMPARE(answer(QStringLiteral("Group has been updated.\n\n6 members saved.")), &screen);
        QCOMPARE(membersOf(QStringLiteral("Zeta")), 6); // to the group chosen

        // A file that cannot be read: the error over the screen, the grid as it was.
        path->setText(dataFile(QStringLiteral("report-renamed.xls")));
        QTest::mouseClick(child<QPushButton>(&screen, "cmdImport"), Qt::LeftButton);
        QCOMPARE(answer(QStringLiteral("Error Occured: File is not accessiable; Excel reader - report-renamed.xls is "
                                       "not an Excel 97-2003 workbook (.xls).")),
                 &screen);
        QCOMPARE(grid->model()->rowCount(), 6);
    }

    // A big file shows the progress bar; Cancel there stops the save, and the
    // box tells exactly how many members were stored.
    void saveCancelledFromItsProgressBar()
    {
        addGroup(QStringLiteral("Staff"));
        QByteArray text = "Phone,Name,Email\n";
        for (int i = 0; i < 200000; ++i)
            text += QByteArray::number(9000000000LL + i) + ",Member,\n";
        const QString file = dir().root() + QStringLiteral("/big.txt");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(text);
        out.close();

        ImportWindow screen(db(), nullptr, 500);
        screen.show();
        child<QLineEdit>(&screen, "txtPath")->setText(file);
        auto *save = child<QPushButton>(&screen, "cmdSave");
        QTest::mouseClick(save, Qt::LeftButton);
        QVERIFY(!save->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(screen.progress().dialog() && screen.progress().dialog()->isVisible(), 20000);
        QTest::mouseClick(screen.progress().dialog()->findChild<QPushButton *>(), Qt::LeftButton);
        QMessageBox *box = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((box = test::Boxes::open().value(0)) != nullptr, 20000);
        const int rows = membersOf(QStringLiteral("Staff"));
        QVERIFY2(rows > 0 && rows < 200000, qPrintable(QString::number(rows)));
        QCOMPARE(box->text(), QStringLiteral("Saving was cancelled: %1 of 200000 members were saved.").arg(rows));
        test::Boxes::press(box, QMessageBox::Ok);
        QVERIFY(save->isEnabled());
    }
};

QTEST_MAIN(TestGroupWindows)
#include "tst_groupwindows.moc"
