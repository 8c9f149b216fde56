#pragma once

#include "AutoReplySettings.h"
#include "MessageBoxPrompter.h"

#include <QCoroTask>
#include <QWidget>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace tavsms {

// frmAutoReply, "Auto Reply Settings": shows the form of AutoReplySettings
// and hands it each of the operator's actions with the form as it stands.
class AutoReplyWindow : public QWidget
{
    Q_OBJECT
public:
    explicit AutoReplyWindow(Database &db, QWidget *parent = nullptr);

    // The form as the operator has left it.
    AutoReplyForm form() const;

private:
    void render(const AutoReplyForm &form);
    void apply(const AutoReplySettings::Outcome &outcome);
    QCoro::Task<void> deleteKeyword();

    MessageBoxPrompter m_prompter{this};
    AutoReplySettings m_settings;
    QComboBox *m_createConnection;
    QLineEdit *m_keywordBox;
    QComboBox *m_actionConnection;
    QComboBox *m_keywords;
    QPlainTextEdit *m_reply;
    QComboBox *m_groups;
    QButtonGroup *m_options;
    QRadioButton *m_noGroup;
    QLabel *m_urlLabel;
    QLabel *m_urlNote;
    QLineEdit *m_url;
};

} // namespace tavsms
