#pragma once

#include <QCoroTask>
#include <QObject>
#include <QStringList>

namespace tavsms {

class Database;
class Prompter;

// The logic of the "Auto Reply Settings" screen: keywords per connection and
// what each does. The window shows this object's fields and forwards the
// operator's choices to it; every message goes through the Prompter.
class AutoReplySettings : public QObject
{
    Q_OBJECT
public:
    enum class Option { AddToGroup, DeleteFromGroup, NoGroupAction, PushSms };
    enum class Field { KeywordBox, ReplyBox, UrlBox, GroupList, NoGroupOption };

    // Placeholder items of the lists.
    static inline const QString kSelectKeyword = QStringLiteral("Select a Keyword");
    static inline const QString kNoKeywords = QStringLiteral("No More Keywords");
    static inline const QString kNoGroups = QStringLiteral("Groups Not Available");
    static inline const QString kNoConnection = QStringLiteral("No Active Connection");

    AutoReplySettings(Database &db, Prompter &prompter, QObject *parent = nullptr);

    // Lists and the current choice of each ("Create Keyword" frame, then "Action Table").
    QStringList createConnections;
    QString createConnection;
    QString keywordBox;

    QStringList actionConnections;
    QString actionConnection;
    QStringList keywords;
    QString keyword;
    QString replyBox;
    QStringList groups;
    QString group;
    Option option = Option::NoGroupAction;
    QString urlBox;

    // The URL label, note and box are usable only with "Push SMS".
    bool urlEnabled() const { return option == Option::PushSms; }

    void open();
    // On leaving the action frame's connection list.
    void chooseActionConnection(const QString &name);
    void createKey();
    // On leaving the keyword list.
    void chooseKeyword(const QString &name);
    void chooseOption(Option chosen);
    // On leaving the URL box.
    void leaveUrlBox();
    void saveKeyAction();
    QCoro::Task<void> deleteKeyword();

Q_SIGNALS:
    // Fields changed: the window shows them again.
    void changed();
    void focusRequested(tavsms::AutoReplySettings::Field field);

private:
    QString portOf(const QString &connectionName);
    void loadKeywords();
    void refreshUrl();

    Database &m_db;
    Prompter &m_prompter;
};

} // namespace tavsms
