#pragma once

#include "MessageBoxPrompter.h"
#include "MessageComposer.h"

#include <QWidget>

class QComboBox;
class QFormLayout;
class QPushButton;

namespace tavsms {

class MessagePane;

// What the single and the group screen share: "Select Modem" with its
// hint, the group list, the message pane with its templates and the
// "Send Message" button. A screen adds its own rows and actions.
class ComposeWindow : public QWidget
{
    Q_OBJECT
protected:
    ComposeWindow(const QString &objectName, const QString &title, const QString &groupCaption, QWidget *parent);

    // Fills the lists from `logic` and follows the modem list and the tree with it.
    ComposeState attach(MessageComposer &logic);
    void focus(MessageComposer::Field field);

    MessageBoxPrompter m_prompter{this}; // before the derived screen's logic, which is handed it
    QFormLayout *m_form;
    QComboBox *m_modems;
    QComboBox *m_groups;
    MessagePane *m_pane;
    QPushButton *m_send;
};

} // namespace tavsms
