#pragma once

#include "Groups.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace tavsms {

class Database;
class Prompter;

// The template and the three columns of the dynamic-message screen.
struct DynamicForm
{
    QString templateText;
    QString numbers; // one mobile number per line
    QString data2;
    QString data3;
};

// One recipient's merged message, before its line breaks go and its length is cut.
struct MergedRow
{
    QString number;
    QString message;
    bool operator==(const MergedRow &) const = default;
};

// "Dynamic SMS": a template with @@data1@@, @@data2@@ and @@data3@@,
// and three columns of values, merged into one message per line.
class DynamicMessages
{
public:
    inline static const QString kNoGroups = QStringLiteral("Groups Not Available");

    DynamicMessages(Database &db, Prompter &prompter);

    struct State
    {
        QStringList groups; // A to Z, or just "Groups Not Available"
        DynamicForm form;   // the samples, with the first group's numbers added
        QString length;     // "Msg Length: n"
    };
    State load();

    // The numbers column with the group's member numbers added below what it holds.
    QString chooseGroup(const QString &group, const QString &numbers);
    static QString lengthText(const QString &templateText);

    // "Merge Data": the merged rows, or nothing (told) when the columns' line counts differ.
    std::optional<QList<MergedRow>> mergeData(const DynamicForm &form);

    // The lines of a column: a text that ends with a line break has an empty
    // last line, an empty text has none. LF and CR LF both break a line.
    static QStringList linesOf(const QString &column);
    // Replaces @@data1@@, then @@data2@@, then @@data3@@ (exactly so, case and all).
    static QString merge(const QString &templateText, const QString &data1, const QString &data2,
                         const QString &data3);

private:
    Prompter &m_prompter;
    Groups m_groups;
};

} // namespace tavsms
