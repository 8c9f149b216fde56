#pragma once

#include "AutoReplySettings.h"
#include "MessageBoxPrompter.h"

#include <QWidget>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;

namespace tavsms {

// frmAutoReply, "Auto Reply Settings": shows an AutoReplySettings and hands
// it the operator's choices.
class AutoReplyWindow : public QWidget
{
    Q_OBJECT
public:
    explicit AutoReplyWindow(Database &db, QWidget *parent = nullptr);
    AutoReplySettings &settings() { return m_settings; }

private:
    void refresh();
    void focus(AutoReplySettings::Field field);
    static void fill(QComboBox *box, const QStringList &items, const QString &current);

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
