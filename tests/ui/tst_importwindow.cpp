// The import screen offscreen through its controls and real boxes, and the
// main window's "Import Data" and "Backup Groups".
#include "DataDirectory.h"
#include "GroupBackup.h"
#include "ImportWindow.h"
#include "ListenerPort.h"
#include "MessageBoxes.h"
#include "Store.h"
#include "TestDataDirectory.h"
#include "WindowProgram.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace tavsms;
using namespace tavsms::test;

class TestImportWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestDataDirectory> m_dir;
    std::unique_ptr<Store> m_store;

    template<typename T>
    static T *child(QWidget *screen, const char *name)
    {
        T *w = screen->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no %s", name);
        return w;
    }
    static QString data(const QString &name) { return QStringLiteral(TAVSMS_TEST_DATA_DIR "/") + name; }
    static void answer(const QString &text, const QString &title)
    {
        QMessageBox *box = Boxes::waitFor(text, title);
        QVERIFY2(box, qPrintable(Boxes::dump()));
        Boxes::press(box, QMessageBox::Ok);
    }
    void addGroup(const QString &name)
    {
        m_store->db().exec(QStringLiteral("INSERT INTO groups (dated, group_name) VALUES ('2026-01-01 00:00:00', ?)"),
                           {name});
    }
    int members() { return m_store->db().scalar(QStringLiteral("SELECT count(*) FROM groups_mem")).toInt(); }
    static QString cell(QTableView *grid, int row, int column)
    {
        return grid->model()->index(row, column).data().toString();
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<TestDataDirectory>();
        m_store = std::make_unique<Store>(m_dir->root() + QStringLiteral("/w.mdb"));
    }
    void cleanup()
    {
        Boxes::dismissAll();
        m_store.reset();
        m_dir.reset();
    }

    void importPreviewAndSave()
    {
        addGroup(QStringLiteral("Zeta"));
        addGroup(QStringLiteral("Staff"));
        ImportWindow screen(m_store->db());
        screen.show();
        QCOMPARE(screen.objectName(), QStringLiteral("frmImport"));
        QCOMPARE(screen.windowTitle(), QStringLiteral("Import Data from Excel and Text Files"));
        auto *path = child<QLineEdit>(&screen, "txtPath");
        auto *grid = child<QTableView>(&screen, "grdData");
        auto *groups = child<QComboBox>(&screen, "cboGroup");
        QVERIFY(path->isReadOnly());
        QCOMPARE(groups->count(), 2);
        QCOMPARE(groups->itemText(0), QStringLiteral("Staff"));

        path->setText(data(QStringLiteral("members-bad-columns.xls")));
        QTest::mouseClick(child<QPushButton>(&screen, "cmdImport"), Qt::LeftButton);
        answer(QStringLiteral("Field No.3 (Email) doesn't match. Please change the Row1 - Column3 data to Email in "
                              "data File."),
               QStringLiteral("Error Occured"));
        QCOMPARE(grid->model()->rowCount(), 0);

        path->setText(data(QStringLiteral("members.xls")));
        QTest::mouseClick(child<QPushButton>(&screen, "cmdImport"), Qt::LeftButton);
        QCOMPARE(grid->model()->rowCount(), 6);
        QCOMPARE(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Phone"));
        QCOMPARE(cell(grid, 1, 0), QStringLiteral("919876543211"));
        QCOMPARE(cell(grid, 3, 1), QStringLiteral("Zoë Müller"));
        QCOMPARE(Boxes::open().size(), 0);

        QTest::mouseClick(child<QPushButton>(&screen, "cmdSave"), Qt::LeftButton);
        answer(QStringLiteral("Group has been updated.\n\n6 members saved."), QStringLiteral("Success"));
        QCOMPARE(members(), 6);

        // A file that is not what it says: the error, and the grid stays.
        path->setText(data(QStringLiteral("report-renamed.xls")));
        QTest::mouseClick(child<QPushButton>(&screen, "cmdImport"), Qt::LeftButton);
        answer(QStringLiteral("Error Occured: File is not accessiable; Excel reader - report-renamed.xls is not an "
                              "Excel 97-2003 workbook (.xls)."),
               QStringLiteral("Error Occured"));
        QCOMPARE(grid->model()->rowCount(), 6);
    }

    void withoutGroupsSaveIsRefused()
    {
        ImportWindow screen(m_store->db());
        screen.show();
        QCOMPARE(child<QComboBox>(&screen, "cboGroup")->currentText(), QStringLiteral("Groups Not Available"));
        child<QLineEdit>(&screen, "txtPath")->setText(data(QStringLiteral("members.txt")));
        QTest::mouseClick(child<QPushButton>(&screen, "cmdSave"), Qt::LeftButton);
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = Boxes::open().value(0)) != nullptr);
        QCOMPARE(box->windowTitle(), QStringLiteral("Error Occured"));
        QCOMPARE(box->icon(), QMessageBox::Warning);
        Boxes::press(box, QMessageBox::Ok);
        QCOMPARE(members(), 0);
    }

    // A big file shows the progress bar; Cancel there stops the save, and the
    // box tells exactly how many members were stored.
    void saveCancelledFromItsProgressBar()
    {
        addGroup(QStringLiteral("Staff"));
        QByteArray text = "Phone,Name,Email\n";
        for (int i = 0; i < 200000; ++i)
            text += QByteArray::number(9000000000LL + i) + ",Member,\n";
        const QString file = m_dir->root() + QStringLiteral("/big.txt");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(text);
        out.close();

        ImportWindow screen(m_store->db(), nullptr, 500);
        screen.show();
        child<QLineEdit>(&screen, "txtPath")->setText(file);
        auto *save = child<QPushButton>(&screen, "cmdSave");
        QTest::mouseClick(save, Qt::LeftButton);
        QVERIFY(!save->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(screen.progress().dialog() && screen.progress().dialog()->isVisible(), 20000);
        QTest::mouseClick(screen.progress().dialog()->findChild<QPushButton *>(), Qt::LeftButton);
        QMessageBox *box = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((box = Boxes::open().value(0)) != nullptr, 20000);
        const int rows = members();
        QVERIFY2(rows > 0 && rows < 200000, qPrintable(QString::number(rows)));
        QCOMPARE(box->windowTitle(), QStringLiteral("Cancelled"));
        QCOMPARE(box->text(), QStringLiteral("Saving was cancelled: %1 of 200000 members were saved.").arg(rows));
        Boxes::press(box, QMessageBox::Ok);
        QVERIFY(save->isEnabled());
    }

    void mainWindowOpensImportAndRunsTheBackup()
    {
        m_store.reset();
        QVERIFY(DataDirectory::ensureExists().isEmpty());
        useFreeListenerPort(DataDirectory::databasePath());
        WindowProgram program;
        QCOMPARE(program.start(), Application::StartResult::Running);

        program.action("mnuFileImp")->trigger();
        program.action("mnuFileImp")->trigger(); // brought to the front, not opened twice
        auto *mdi = program.window.findChild<QMdiArea *>();
        QCOMPARE(mdi->subWindowList().size(), 1);
        QCOMPARE(mdi->subWindowList().first()->widget()->objectName(), QStringLiteral("frmImport"));

        program.controller().store().db().exec(
            QStringLiteral("INSERT INTO groups (dated, group_name) VALUES ('2026-01-01 00:00:00', 'Staff')"));
        program.controller().store().db().exec(QStringLiteral(
            "INSERT INTO groups_mem (group_name, group_mem_name, group_mem_mobile) VALUES (last_insert_rowid(), "
            "'Asha, R', '9876543210')"));
        const QString file =
            QDir(DataDirectory::path()).filePath(GroupBackup::fileName(QDate::currentDate()));
        program.action("mnuGrpBackup")->trigger();
        QMessageBox *question = Boxes::waitFor(
            QStringLiteral("Do you want to create a backup of all your group members?"), QStringLiteral("Create Backup?"));
        QVERIFY2(question, qPrintable(Boxes::dump()));
        QCOMPARE(question->icon(), QMessageBox::Warning);
        Boxes::press(question, QMessageBox::Ok);
        QMessageBox *done = Boxes::waitFor(QStringLiteral("Backup Created"));
        QVERIFY2(done, qPrintable(Boxes::dump()));
        QCOMPARE(done->icon(), QMessageBox::NoIcon);
        Boxes::press(done, QMessageBox::Ok);
        QFile backup(file);
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QCOMPARE(backup.readAll(), QByteArray("Staff,\"Asha, R\",9876543210,,0,,\r\n"));
    }
};

QTEST_MAIN(TestImportWindow)
#include "tst_importwindow.moc"
