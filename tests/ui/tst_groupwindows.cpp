// The group screens offscreen, through their controls, input boxes and real message boxes.
#include "GroupMembersWindow.h"
#include "GroupWindow.h"
#include "Controls.h"
#include "MessageBoxes.h"
#include "Store.h"
#include "TestDataDirectory.h"

#include <QApplication>
#include <QComboBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test::Controls;
using namespace tavsms::test;

class TestGroupWindows : public QObject
{
    Q_OBJECT

    static void click(QWidget *screen, const char *button)
    {
        QTest::mouseClick(child<QPushButton>(screen, button), Qt::LeftButton);
    }
    static void answer(const QString &text, QMessageBox::StandardButton button = QMessageBox::Ok)
    {
        QMessageBox *box = Boxes::waitFor(text);
        QVERIFY2(box, qPrintable(Boxes::dump()));
        Boxes::press(box, button);
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

    std::unique_ptr<TestDataDirectory> m_dir;
    std::unique_ptr<Store> m_store;

    QStringList members()
    {
        QStringList out;
        Statement st = m_store->db().prepare(QStringLiteral("SELECT group_mem_mobile FROM groups_mem ORDER BY id"));
        while (st.next())
            out << st.text(QStringLiteral("group_mem_mobile"));
        return out;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<TestDataDirectory>();
        m_store = std::make_unique<Store>(m_dir->root() + QStringLiteral("/g.mdb"));
    }
    void cleanup() { Boxes::dismissAll(); }

    void fromNewGroupToSavedMembersAndBack()
    {
        GroupWindow screen(m_store->db());
        screen.show();
        QTest::keyClicks(child<QLineEdit>(&screen, "txtGroupName"), QStringLiteral("Sales & Co"));
        click(&screen, "cmdCreateGroup");
        answer(QStringLiteral("Group Created"));
        QCOMPARE(child<QComboBox>(&screen, "cboBulkGroup")->currentText(), QStringLiteral("Sales and Co"));
        QVERIFY(child<QLineEdit>(&screen, "txtGroupName")->text().isEmpty());

        click(&screen, "cmdSeries");
        enter(&screen, QStringLiteral("Start From"), QStringLiteral("9876500000"));
        enter(&screen, QStringLiteral("Create upto"), QStringLiteral("9876500002"));
        auto *bulk = child<QPlainTextEdit>(&screen, "txtBulk");
        QTRY_COMPARE(bulk->toPlainText(), QStringLiteral("9876500000\n9876500001\n9876500002"));

        bulk->appendPlainText(QStringLiteral("12345, Too short"));
        click(&screen, "cmdValidate");
        answer(QStringLiteral("Error at line 4. Invalid Destination Number. It should be 10 digit long."));
        QCOMPARE(bulk->textCursor().selectedText(), QStringLiteral("12345, Too short"));
        QVERIFY(!bulk->isReadOnly());
        QVERIFY(!child<QPushButton>(&screen, "cmdSave")->isEnabled());

        bulk->textCursor().insertText(QStringLiteral("9876500009, Ravi"));
        click(&screen, "cmdValidate");
        answer(QStringLiteral("Validation Completed."));
        QVERIFY(bulk->isReadOnly());
        QVERIFY(child<QPushButton>(&screen, "cmdSave")->isEnabled());
        click(&screen, "cmdSave");
        answer(QStringLiteral("Numbers added to the group.\n\n4 members added."));
        QCOMPARE(members(), (QStringList{"9876500000", "9876500001", "9876500002", "9876500009"}));
        QVERIFY(bulk->toPlainText().isEmpty());
        QVERIFY(!child<QPushButton>(&screen, "cmdSave")->isEnabled());

        // The member screen lists them.
        GroupMembersWindow membersScreen(m_store->db());
        membersScreen.show();
        click(&membersScreen, "cmdShow");
        QCOMPARE(child<QTableView>(&membersScreen, "grdMembers")->model()->rowCount(), 4);

        click(&screen, "cmdDelete");
        const QString question = QStringLiteral("You are going to delete group named ''Sales and Co'' and all it's "
                                                "members. Are you sure to delete it?");
        QMessageBox *box = Boxes::waitFor(question);
        QVERIFY(box);
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::Cancel));
        Boxes::press(box, QMessageBox::Cancel);
        QCOMPARE(members().size(), 4);
        click(&screen, "cmdDelete");
        answer(question, QMessageBox::Ok);
        answer(QStringLiteral("Group has been deleted."));
        QCOMPARE(members(), QStringList{});
        QCOMPARE(child<QComboBox>(&screen, "cboManageGroup")->count(), 0);
    }

    void closingDuringTheSeriesQuestionResumesNothing()
    {
        auto *screen = new GroupWindow(m_store->db());
        screen->show();
        click(screen, "cmdSeries");
        QTRY_VERIFY(screen->findChild<QInputDialog *>());
        delete screen; // the input box goes with it; nothing may touch the screen after
        QTest::qWait(20);
    }
};

QTEST_MAIN(TestGroupWindows)
#include "tst_groupwindows.moc"
