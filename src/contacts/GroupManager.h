#pragma once

#include "Groups.h"

#include <QCoroTask>
#include <QString>
#include <QStringList>

#include <optional>

namespace tavsms {

class Database;
class Prompter;

// What the group screen shows when it opens.
struct GroupScreenState
{
    QStringList groups;  // the three group lists, oldest group first
    QStringList periods; // the subscription periods, shown for information only
    int period = 6;      // "1 Month"
    QString startDate;   // now, as people read it
};

// The bulk panel's controls: the box, "Edit" and "Save".
struct BulkPanel
{
    bool readOnly = false;
    bool editEnabled = false;
    bool saveEnabled = false;
    bool operator==(const BulkPanel &) const = default;
};

// "Manage Group": creating and deleting groups, adding one member, and
// typing, generating, validating and saving many members at once.
class GroupManager
{
public:
    // The rule every member number is asked to follow, and the hint of the number boxes.
    inline static const QString kNumberRule = QStringLiteral(
        "Please enter only 10-digit mobile number as it is necessary to send SMS. Please DO NOT include 0 or 91 or 091 "
        "for national SMS.");
    static constexpr qint64 kMaxSeriesSpan = 5000;

    enum class Field { None, GroupName, Mobile, Bulk };

    GroupManager(Database &db, Prompter &prompter);

    GroupScreenState load();

    // After create or delete: the refreshed group lists (when they changed) and the cursor.
    struct ListOutcome
    {
        std::optional<QStringList> groups;
        Field focus = Field::None;
    };
    // "Create Group": "&" becomes "and", single quotes go; the name box is cleared after.
    ListOutcome createGroup(const QString &nameBox);
    // "Delete", after the operator's OK.
    QCoro::Task<ListOutcome> deleteGroup(const QString &name);
    // "Add": one member, its values stored as typed.
    Field addMember(const QString &group, const QString &name, const QString &mobile, const QString &email);

    // "Generate Serise": the bulk box with start … end appended; nothing (told) when refused.
    std::optional<QString> generateSeries(const QString &start, const QString &end, const QString &bulk);
    // The start the series box offers, and its end.
    static QString seriesStartPreset() { return QStringLiteral("9000000000"); }
    static QString seriesEndPreset() { return QStringLiteral("9000004999"); }

    struct Validation
    {
        BulkPanel panel;
        int selectionStart = -1; // the failing line in the box, when one failed
        int selectionLength = 0;
        Field focus = Field::None;
    };
    // "Validate": every line's number (before its first comma) must be 10 long, blanks trimmed.
    Validation validate(const QString &group, const QString &bulk, BulkPanel panel);
    // "Edit": the box opens again; the list must be validated again before saving.
    static BulkPanel edit(BulkPanel panel);
    struct Saved
    {
        BulkPanel panel;
        bool clearBox = false;
    };
    // "Save": one member per line, all or none.
    Saved save(const QString &group, const QString &bulk, BulkPanel panel);

private:
    std::optional<QStringList> groupLists();
    std::optional<qint64> groupId(const QString &group);
    void databaseError(const QString &what, const QString &reason);

    Database &m_db;
    Prompter &m_prompter;
    Groups m_groups;
};

} // namespace tavsms
