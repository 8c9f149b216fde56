// The group screens through their controls, input boxes and real message
// boxes; the import screen: the file previewed, saved to the group chosen,
// the save cancelled from its progress bar. "Manage Templates", driven as
// the operator does: keys into the grid's cells, a row chosen by its header.
#include "GroupMembersWindow.h"
#include "GroupWindow.h"
#include "ImportWindow.h"
#include "Templates.h"
#include "TemplatesWindow.h"
#include "WindowTest.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
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

    QStringList stored()
    {
        QStringList rows;
        for (const Template &t : Templates(db()).all())
            rows << t.title + QLatin1Char('|') + t.text;
        return rows;
    }
    TemplatesWindow *openScreen() { return start() ? open<TemplatesWindow>("mnuTempManage") : nullptr; }
    // The cell editor the grid has open (a closed one is hidden until it goes).
    static QLineEdit *editor(QTableView *grid)
    {
        for (QLineEdit *box : grid->viewport()->findChildren<QLineEdit *>())
            if (box->isVisible())
                return box;
        return nullptr;
    }
    // F2 on the current cell (or the editor Tab opened), the text typed over
    // what it held, then a key that leaves the cell (Tab, Return).
    static void typeIntoCurrentCell(QTableView *grid, const QString &text, Qt::Key leave)
    {
        QTest::keyClick(grid, Qt::Key_F2);
        QLineEdit *box = editor(grid);
        QVERIFY(box);
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, leave);
        // Return commits once the editor has seen the key, a turn of the loop later.
        if (leave == Qt::Key_Return)
            QTRY_VERIFY(!editor(grid));
    }
    static void clickRowHeader(QTableView *grid, int row)
    {
        QHeaderView *header = grid->verticalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->width() / 2,
                                 header->sectionViewportPosition(row) + header->sectionSize(row) / 2));
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

        // Single Entry: a number that is not ten long is told, the cursor back in its box.
        auto *mobile = child<QLineEdit>(&screen, "txtMobile");
        QTest::keyClicks(mobile, QStringLiteral("98765"));
        click(&screen, "cmdAdd");
        QCOMPARE(answer(GroupManager::kNumberRule), &screen);
        QCOMPARE(screen.focusWidget(), mobile);

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
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(text) == text.size());
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

    void addEditAndDeleteThroughTheGrid()
    {
        TemplatesWindow *screen = openScreen();
        QVERIFY(screen);
        QTableView *grid = screen->grid();
        QVERIFY(grid->wordWrap());
        QCOMPARE(grid->model()->rowCount(), 1);
        grid->setFocus();

        // * goes to the new-row line: a title, Tab to its text, the text, Return;
        // then to the fresh new-row line for a second one; then a cell edited.
        for (const auto &[row, title, text] : {std::tuple{0, "Greeting", "Happy Diwali"}, {1, "Offer", "10% off today"}}) {
            QTest::keyClick(grid, Qt::Key_Asterisk, Qt::NoModifier);
            QCOMPARE(grid->currentIndex(), grid->model()->index(row, 0));
            typeIntoCurrentCell(grid, QString::fromLatin1(title), Qt::Key_Tab);
            QCOMPARE(grid->currentIndex(), grid->model()->index(row, 1));
            typeIntoCurrentCell(grid, QString::fromLatin1(text), Qt::Key_Return);
        }
        grid->setCurrentIndex(grid->model()->index(0, 1));
        typeIntoCurrentCell(grid, QStringLiteral("Happy Diwali to all"), Qt::Key_Return);
        QCOMPARE(stored(), (QStringList{"Greeting|Happy Diwali to all", "Offer|10% off today"}));

        // The row chosen by its header, DELETE, once asked.
        clickRowHeader(grid, 1);
        QCOMPARE(grid->currentIndex().row(), 1);
        QVERIFY(grid->selectionModel()->isRowSelected(1, {}));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(answer(QStringLiteral("Are you sure to delete the template \"Offer\"?")), screen);
        QCOMPARE(stored(), QStringList{"Greeting|Happy Diwali to all"});
        QCOMPARE(grid->model()->rowCount(), 2);
    }

    void anEditOfATemplateDeletedElsewhereIsToldAndTheGridReloads()
    {
        // The grid is read again once the view has closed its editor, not under it.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("closeEditor")));
        Templates(db()).add(QStringLiteral("Old"), QStringLiteral("text"));
        TemplatesWindow *screen = openScreen();
        QVERIFY(screen);
        QTableView *grid = screen->grid();
        db().exec(QStringLiteral("DELETE FROM templates"));
        Templates(db()).add(QStringLiteral("New"), QStringLiteral("from elsewhere"));

        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(0, 1));
        typeIntoCurrentCell(grid, QStringLiteral("changed"), Qt::Key_Return);
        QCOMPARE(answer(QStringLiteral("The template \"Old\" has been deleted meanwhile.\n\n"
                                       "The grid shows the templates as they are stored.")),
                 screen);
        QTRY_VERIFY(!editor(grid));
        QCOMPARE(grid->model()->rowCount(), 2);
        QCOMPARE(grid->model()->index(0, 1).data().toString(), QStringLiteral("from elsewhere"));
    }

    void scrollButtonsMoveTheGridOneRow()
    {
        for (int i = 1; i <= 40; ++i)
            Templates(db()).add(QStringLiteral("T%1").arg(i), QStringLiteral("text"));
        TemplatesWindow *screen = openScreen();
        QVERIFY(screen);
        QTableView *grid = screen->grid();
        QCOMPARE(grid->rowAt(0), 0);
        auto *down = screen->findChild<QPushButton *>(QStringLiteral("cmdScrollDown"));
        down->click();
        down->click();
        QCOMPARE(grid->rowAt(0), 2);
        screen->findChild<QPushButton *>(QStringLiteral("cmdScrollUp"))->click();
        QCOMPARE(grid->rowAt(0), 1);
    }
};

QTEST_MAIN(TestGroupWindows)
#include "tst_groupwindows.moc"
