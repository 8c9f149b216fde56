#include "DynamicMessages.h"

#include "Database.h"
#include "Prompter.h"
#include "TextRules.h"

namespace tavsms {

DynamicMessages::DynamicMessages(Database &db, Prompter &prompter)
    : m_prompter(prompter)
    , m_groups(db)
{
}

DynamicMessages::State DynamicMessages::load()
{
    State s;
    s.form.templateText =
        QStringLiteral("Dear @@data1@@ owner, this message is sent by @@data2@@ and he just \nwant to say @@data3@@\n");
    s.form.numbers = QStringLiteral("9876543210\n");
    s.form.data2 = QStringLiteral("St. Peter\n");
    s.form.data3 = QStringLiteral("God Bless You\n");
    s.length = lengthText(s.form.templateText);
    try {
        s.groups = m_groups.names();
    } catch (const DbError &e) {
        m_prompter.critical(QStringLiteral("Error"), QStringLiteral("The groups could not be read:\n%1").arg(e.message()));
    }
    if (s.groups.isEmpty())
        s.groups = QStringList{kNoGroups};
    s.form.numbers = chooseGroup(s.groups.first(), s.form.numbers);
    return s;
}

QString DynamicMessages::chooseGroup(const QString &group, const QString &numbers)
{
    QString out = numbers;
    try {
        const std::optional<qint64> id = m_groups.idOf(group);
        if (!id)
            return out;
        for (const Groups::Member &m : m_groups.members(*id)) {
            if (trimSpaces(m.mobile).isEmpty())
                continue;
            if (!out.isEmpty() && !out.endsWith(QLatin1Char('\n')))
                out += QLatin1Char('\n');
            out += m.mobile;
        }
    } catch (const DbError &) {
        // The column keeps what it had; the operator sees no numbers added.
    }
    return out;
}

QString DynamicMessages::lengthText(const QString &templateText)
{
    return QStringLiteral("Msg Length: %1").arg(templateText.size());
}

QStringList DynamicMessages::linesOf(const QString &column)
{
    if (column.isEmpty())
        return {};
    QString text = column;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text.split(QLatin1Char('\n'));
}

QString DynamicMessages::merge(const QString &templateText, const QString &data1, const QString &data2,
                               const QString &data3)
{
    QString out = templateText;
    out.replace(QStringLiteral("@@data1@@"), data1);
    out.replace(QStringLiteral("@@data2@@"), data2);
    out.replace(QStringLiteral("@@data3@@"), data3);
    return out;
}

std::optional<QList<MergedRow>> DynamicMessages::mergeData(const DynamicForm &form)
{
    const QStringList numbers = linesOf(form.numbers);
    const QStringList data2 = linesOf(form.data2);
    const QStringList data3 = linesOf(form.data3);
    if (numbers.size() != data2.size() || numbers.size() != data3.size()) {
        m_prompter.plain(applicationTitle(),
                         QStringLiteral("Length of data in Grid1 and Grid2 and Grid3 does not match. Please check the "
                                        "data again! Number of lines in Grid1, Grid2 and Grid3 should be same."));
        return std::nullopt;
    }
    QList<MergedRow> rows;
    rows.reserve(numbers.size());
    for (qsizetype i = 0; i < numbers.size(); ++i)
        rows.append({numbers.at(i), merge(form.templateText, numbers.at(i), data2.at(i), data3.at(i))});
    return rows;
}

} // namespace tavsms
