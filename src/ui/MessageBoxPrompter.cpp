#include "MessageBoxPrompter.h"

#include <QCoroSignal>
#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>

namespace tavsms {

namespace {

bool headless()
{
    return QGuiApplication::platformName() == QLatin1String("offscreen");
}

QString boxText(const QString &text)
{
    // Texts may carry CR LF line breaks; a label wants plain LF.
    QString shown = text;
    return shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

void toStderr(const QString &title, const QString &text)
{
    std::fprintf(stderr, "[%s] %s\n", qPrintable(title.isEmpty() ? applicationTitle() : title),
                 qPrintable(boxText(text)));
}

} // namespace

MessageBoxPrompter::MessageBoxPrompter(QWidget *parent)
    : m_parent(parent)
{
}

QMessageBox *MessageBoxPrompter::makeBox(Icon icon, const QString &title, const QString &text, bool okCancel)
{
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    switch (icon) {
    case Icon::Information: boxIcon = QMessageBox::Information; break;
    case Icon::Exclamation: boxIcon = QMessageBox::Warning; break;
    case Icon::Critical: boxIcon = QMessageBox::Critical; break;
    case Icon::Question: boxIcon = QMessageBox::Question; break;
    case Icon::None: break;
    }
    auto *box = new QMessageBox(boxIcon, title.isEmpty() ? applicationTitle() : title, boxText(text),
                                okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    ++m_open;
    connect(box, &QObject::destroyed, this, [this] {
        if (--m_open == 0)
            Q_EMIT allClosed();
    });
    return box;
}

void MessageBoxPrompter::notify(Icon icon, const QString &title, const QString &text)
{
    if (headless()) {
        toStderr(title, text);
        return;
    }
    makeBox(icon, title, text, false)->open();
}

QCoro::Task<bool> MessageBoxPrompter::question(const QString &title, const QString &text, Icon icon)
{
    if (headless()) {
        toStderr(title, text);
        co_return false;
    }
    QPointer<QMessageBox> box = makeBox(icon, title, text, true);
    box->open();
    const int result = co_await qCoro(box.data(), &QMessageBox::finished);
    co_return result == QMessageBox::Ok;
}

} // namespace tavsms
