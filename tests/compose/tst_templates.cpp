// The template grid's model on a real store: what it shows, and that every
// committed change reaches `templates` or is told and undone.
#include "Database.h"
#include "RecordingPrompter.h"
#include "SharedStore.h"
#include "Store.h"
#include "TemplateTableModel.h"
#include "Templates.h"
#include "Wait.h"

#include <QAbstractItemModelTester>
#include <QCoroSignal>
#include <QCoroTask>
#include <QTest>

using namespace tavsms;

// A question stays open until the test answers it.
class HeldAnswer : public QObject, public Prompter
{
    Q_OBJECT
public:
    void notify(Icon, const QString &, const QString &) override {}
    QCoro::Task<bool> question(const QString &, const QString &, Icon, Default) override
    {
        co_return co_await qCoro(this, &HeldAnswer::answered);
    }

Q_SIGNALS:
    void answered(bool ok);
};

class TestTemplates : public QObject
{
    Q_OBJECT

    Store *m_store = nullptr;
    test::RecordingPrompter m_prompter;
    std::unique_ptr<TemplateTableModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;

    Database &db() { return m_store->db(); }
    TemplateTableModel &model() { return *m_model; }
    QString cell(int row, int column) { return model().data(model().index(row, column)).toString(); }
    bool type(int row, int column, const QString &text)
    {
        return model().setData(model().index(row, column), text, Qt::EditRole);
    }
    // The stored rows as "title|text", in the order they were added.
    QStringList stored()
    {
        QStringList rows;
        for (const Template &t : Templates(db()).all())
            rows << t.title + QLatin1Char('|') + t.text;
        return rows;
    }
    // The grid's rows above the new-row line, as "title|text".
    QStringList shown()
    {
        QStringList rows;
        for (int row = 0; row < model().newRow(); ++row)
            rows << cell(row, 0) + QLatin1Char('|') + cell(row, 1);
        return rows;
    }
    bool removeAnswering(int row, bool ok)
    {
        m_prompter.queueAnswer(ok);
        return QCoro::waitFor(model().removeTemplate(row));
    }
    void open()
    {
        m_model = std::make_unique<TemplateTableModel>(db(), m_prompter);
        m_tester = std::make_unique<QAbstractItemModelTester>(m_model.get(),
                                                              QAbstractItemModelTester::FailureReportingMode::QtTest);
        m_model->reload();
    }

private Q_SLOTS:
    void init()
    {
        m_store = &test::freshStore();
        m_prompter.clear();
    }
    void cleanup()
    {
        m_tester.reset();
        m_model.reset();
    }

    void anEmptyTableShowsOnlyTheNewRowLineWhereAFirstTemplateIsAdded()
    {
        open();
        QCOMPARE(model().rowCount(), 1);
        QCOMPARE(model().headerData(0, Qt::Vertical).toString(), QStringLiteral("*"));
        QVERIFY(model().flags(model().index(0, 1)) & Qt::ItemIsEditable);

        // Leaving the new-row line empty adds nothing.
        QVERIFY(!type(0, 0, QString()));
        QCOMPARE(stored(), QStringList());

        // Typing a title adds a template with an empty text; the typed row
        // stays where it is and a fresh new-row line opens below it.
        QVERIFY(type(0, 0, QStringLiteral("Greeting")));
        QCOMPARE(stored(), QStringList{QStringLiteral("Greeting|")});
        QCOMPARE(model().rowCount(), 2);
        QCOMPARE(cell(0, 0), QStringLiteral("Greeting"));
        QCOMPARE(model().headerData(0, Qt::Vertical).toString(), QStringLiteral("1"));
        QCOMPARE(model().headerData(1, Qt::Vertical).toString(), QStringLiteral("*"));
        QCOMPARE(cell(1, 0), QString());

        // Its text, typed next, updates that template rather than adding one.
        QVERIFY(type(0, 1, QStringLiteral("Happy Diwali to you and your family")));
        QCOMPARE(stored(), QStringList{QStringLiteral("Greeting|Happy Diwali to you and your family")});

        // Typing into the text cell of the new-row line adds one without a title.
        QVERIFY(type(1, 1, QStringLiteral("Meeting at 5")));
        QCOMPARE(stored(), (QStringList{QStringLiteral("Greeting|Happy Diwali to you and your family"),
                                        QStringLiteral("|Meeting at 5")}));
        QCOMPARE(model().rowCount(), 3);
        QVERIFY(m_prompter.entries().isEmpty());
    }

    // Quotes and SQL in what is typed are stored as typed.
    void editsReachTheTableAndOpeningAgainShowsThem()
    {
        Templates templates(db());
        templates.add(QStringLiteral("Offer"), QStringLiteral("10% off"));
        templates.add(QStringLiteral("Reminder"), QStringLiteral("Pay by Friday"));
        open();
        QCOMPARE(shown(), (QStringList{QStringLiteral("Offer|10% off"), QStringLiteral("Reminder|Pay by Friday")}));

        const QString title = QStringLiteral("Don't \"stop\"");
        const QString text = QStringLiteral("It's 5 o'clock'); DROP TABLE templates;--");
        QVERIFY(type(1, 0, title));
        QVERIFY(type(0, 1, text));
        const QStringList expected{QStringLiteral("Offer|") + text, title + QStringLiteral("|Pay by Friday")};
        QCOMPARE(stored(), expected);
        QCOMPARE(shown(), expected);
        open();
        QCOMPARE(shown(), expected);
        QVERIFY(m_prompter.entries().isEmpty());
    }

    void deletingAsksOfferingCancelAndOnlyOkDeletes()
    {
        Templates templates(db());
        templates.add(QStringLiteral("A"), QStringLiteral("one"));
        templates.add(QStringLiteral("B"), QStringLiteral("two"));
        templates.add(QString(), QStringLiteral("three"));
        open();

        QVERIFY(!removeAnswering(1, false));
        QCOMPARE(m_prompter.count(), 1);
        const test::RecordingPrompter::Entry asked = m_prompter.entries().first();
        QVERIFY(asked.question);
        QCOMPARE(asked.title, QStringLiteral("Delete Template"));
        QCOMPARE(asked.text, QStringLiteral("Are you sure to delete the template \"B\"?"));
        QCOMPARE(asked.preset, Prompter::Default::Cancel);
        QCOMPARE(stored().size(), 3);
        QCOMPARE(shown(), stored());

        QVERIFY(removeAnswering(1, true));
        QCOMPARE(stored(), (QStringList{QStringLiteral("A|one"), QStringLiteral("|three")}));
        QCOMPARE(shown(), stored());
        QCOMPARE(model().rowCount(), 3);

        // A template without a title is named otherwise.
        QVERIFY(removeAnswering(1, true));
        QCOMPARE(m_prompter.entries().last().text, QStringLiteral("Are you sure to delete this template?"));
        QCOMPARE(stored(), QStringList{QStringLiteral("A|one")});

        // The new-row line is no template: nothing is asked.
        m_prompter.clear();
        QVERIFY(!removeAnswering(model().newRow(), true));
        QVERIFY(m_prompter.entries().isEmpty());
        QCOMPARE(stored().size(), 1);
    }

    void theTemplateAskedAboutIsDeletedEvenIfTheGridChangedMeanwhile()
    {
        Templates templates(db());
        const qint64 first = templates.add(QStringLiteral("A"), QStringLiteral("one"));
        templates.add(QStringLiteral("B"), QStringLiteral("two"));
        templates.add(QStringLiteral("C"), QStringLiteral("three"));
        HeldAnswer held;
        TemplateTableModel grid(db(), held);
        grid.reload();

        QCoro::Task<bool> removing = grid.removeTemplate(1);
        db().exec(QStringLiteral("DELETE FROM templates WHERE id = ?"), {first});
        grid.reload(); // B moves up to row 0 while the question is open
        emit held.answered(true);
        QVERIFY(QCoro::waitFor(std::move(removing)));
        QCOMPARE(stored(), QStringList{QStringLiteral("C|three")});
        QCOMPARE(grid.rowCount(), 2);
        QCOMPARE(grid.data(grid.index(0, 0)).toString(), QStringLiteral("C"));
    }

    void aTemplateDeletedElsewhereIsToldOnEditAndTheGridShowsWhatIsStored()
    {
        Templates templates(db());
        const qint64 gone = templates.add(QStringLiteral("Old"), QStringLiteral("text"));
        templates.add(QStringLiteral("Kept"), QStringLiteral("kept text"));
        open();

        db().exec(QStringLiteral("DELETE FROM templates WHERE id = ?"), {gone});
        templates.add(QStringLiteral("Added elsewhere"), QStringLiteral("x"));
        QVERIFY(!type(0, 1, QStringLiteral("changed")));
        QCOMPARE(m_prompter.count(), 1);
        QCOMPARE(m_prompter.entries().first().title, QStringLiteral("Template Not Found"));
        QVERIFY2(m_prompter.entries().first().text.contains(QStringLiteral("\"Old\" has been deleted meanwhile")),
                 qPrintable(m_prompter.dump()));
        QCOMPARE(stored(), (QStringList{QStringLiteral("Kept|kept text"), QStringLiteral("Added elsewhere|x")}));
        WAIT_COMPARE(shown(), stored());

        // Deleting one that went meanwhile: gone all the same, no error.
        m_prompter.clear();
        db().exec(QStringLiteral("DELETE FROM templates WHERE template_title = 'Kept'"));
        QVERIFY(removeAnswering(0, true));
        QCOMPARE(m_prompter.count(), 1); // the question only
        QCOMPARE(shown(), QStringList{QStringLiteral("Added elsewhere|x")});
    }

    void aFailingDatabaseIsToldAndNothingBreaks()
    {
        Templates(db()).add(QStringLiteral("A"), QStringLiteral("one"));
        open();
        db().execScript(QStringLiteral("DROP TABLE templates"));

        QVERIFY(!type(0, 1, QStringLiteral("changed")));
        QCOMPARE(m_prompter.count(), 1);
        QCOMPARE(m_prompter.entries().first().icon, Prompter::Icon::Critical);
        QVERIFY2(m_prompter.entries().first().text.startsWith(QStringLiteral("The template could not be saved: ")),
                 qPrintable(m_prompter.dump()));
        WAIT_COMPARE(model().rowCount(), 1); // what is stored: nothing readable

        m_prompter.clear();
        QVERIFY(!type(0, 0, QStringLiteral("New")));
        QCOMPARE(m_prompter.count(), 1);
        QVERIFY(m_prompter.entries().first().text.startsWith(QStringLiteral("The template could not be added: ")));
        QCOMPARE(model().rowCount(), 1);

        m_prompter.clear();
        model().reload();
        QCOMPARE(m_prompter.count(), 1);
        QVERIFY(m_prompter.entries().first().text.startsWith(QStringLiteral("The templates could not be read: ")));
    }

    void aFailingDeleteIsToldAndTheRowStays()
    {
        Templates(db()).add(QStringLiteral("A"), QStringLiteral("one"));
        open();
        // Deletes fail, reads still work.
        db().execScript(QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON templates "
                                       "BEGIN SELECT RAISE(ABORT, 'templates are kept'); END"));
        QVERIFY(!removeAnswering(0, true));
        QCOMPARE(m_prompter.count(), 2);
        QCOMPARE(m_prompter.entries().last().icon, Prompter::Icon::Critical);
        QVERIFY2(m_prompter.entries().last().text.startsWith(
                     QStringLiteral("The template could not be deleted: ")),
                 qPrintable(m_prompter.dump()));
        QCOMPARE(shown(), QStringList{QStringLiteral("A|one")});
    }
};

QTEST_GUILESS_MAIN(TestTemplates)
#include "tst_templates.moc"
