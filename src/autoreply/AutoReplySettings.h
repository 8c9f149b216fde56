#pragma once

#include <QCoroTask>
#include <QString>
#include <QStringList>

namespace tavsms {

class Database;
class Prompter;

// What the "Auto Reply Settings" screen shows: its lists with their
// choices, and the boxes.
struct AutoReplyForm
{
    enum class Option { AddToGroup, DeleteFromGroup, NoGroupAction, PushSms };

    // "Create Keyword"
    QStringList createConnections;
    QString createConnection;
    QString keywordBox;

    // "Action Table"
    QStringList actionConnections;
    QString actionConnection;
    QStringList keywords;
    QString keyword;
    QString reply;
    QStringList groups;
    QString group;
    Option option = Option::NoGroupAction;
    QString url;

    // The URL label, note and box are usable only with "Push SMS".
    bool urlEnabled() const { return option == Option::PushSms; }
};

// "Auto Reply Settings": keywords per connection and what each does. The
// screen hands in the form as the operator left it and shows the form that
// comes back; every message goes through the Prompter.
class AutoReplySettings
{
public:
    using Option = AutoReplyForm::Option;
    enum class Field { None, KeywordBox, ReplyBox, UrlBox, GroupList, NoGroupOption };

    struct Outcome
    {
        AutoReplyForm form;
        Field focus = Field::None; // where the cursor goes
    };

    // Placeholder items of the lists.
    static inline const QString kSelectKeyword = QStringLiteral("Select a Keyword");
    static inline const QString kNoKeywords = QStringLiteral("No More Keywords");
    static inline const QString kNoGroups = QStringLiteral("Groups Not Available");
    static inline const QString kNoConnection = QStringLiteral("No Active Connection");

    AutoReplySettings(Database &db, Prompter &prompter);

    // The form on opening.
    AutoReplyForm load();
    // The action frame's connection was chosen: its keywords.
    Outcome chooseActionConnection(AutoReplyForm form);
    // "Create Key".
    Outcome createKey(AutoReplyForm form);
    // A keyword was chosen: what it does.
    Outcome chooseKeyword(AutoReplyForm form);
    // One of the four options was chosen.
    Outcome chooseOption(AutoReplyForm form, Option chosen);
    // The URL box was left: lower case.
    Outcome leaveUrlBox(AutoReplyForm form);
    // "Save Key Action".
    Outcome saveKeyAction(AutoReplyForm form);
    // "Delete Keyword", after asking.
    QCoro::Task<Outcome> deleteKeyword(AutoReplyForm form);

private:
    QString portOf(const QString &connectionName);
    void loadKeywords(AutoReplyForm &form);
    // Fills the action fields from the stored rule of the chosen keyword.
    void showRule(AutoReplyForm &form);
    static void refreshUrl(AutoReplyForm &form);

    Database &m_db;
    Prompter &m_prompter;
};

} // namespace tavsms
