#pragma once

#include "ConnectionChoice.h"

#include <QStringList>
#include <QWidget>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

namespace tavsms {

class LimitedTextEdit;

// The message part of the sending screens: "Your Message" with its length
// counter and "/130" or "/160" label (characters and parts, "75 / 2 SMS",
// on a port in PDU mode), and the tree of templates beside it.
class MessagePane : public QWidget
{
    Q_OBJECT
public:
    explicit MessagePane(QWidget *parent = nullptr);

    QString message() const;
    void setMessage(const QString &text);
    void setLimit(const LengthLimit &limit);
    LengthLimit limit() const { return m_limitValue; }
    // The root "Templates", expanded, with one child "child"+n per title.
    void setTemplates(const QStringList &titles);

    LimitedTextEdit *messageBox() const { return m_message; }
    QTreeWidget *templateTree() const { return m_templates; }

Q_SIGNALS:
    // The operator clicked a node of the tree; its text.
    void templateClicked(const QString &nodeText);

private:
    void showCount();

    LengthLimit m_limitValue;
    LimitedTextEdit *m_message;
    QLabel *m_counter;
    QLabel *m_limit;
    QTreeWidget *m_templates;
};

} // namespace tavsms
