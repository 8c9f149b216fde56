// The "Manage Templates" window offscreen, driven as the operator does: keys
// into the grid's cells, a row chosen by its header, the real question box.
#include "Templates.h"
#include "TemplatesWindow.h"
#include "WindowTest.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableView>
#include <QTest>

using namespace tavsms;

class TestTemplatesWindow : public test::WindowTest
{
    Q_OBJECT

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

QTEST_MAIN(TestTemplatesWindow)
#include "tst_templateswindow.moc"
