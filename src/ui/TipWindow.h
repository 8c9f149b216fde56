#pragma once

#include <QTimer>
#include <QWidget>

#include <chrono>

namespace tavsms {

// A small notice that closes itself: the "Tip" after a failed port check.
// It sits in the lower right corner of the main window, clear of the box it
// follows (which is centred on the window).
class TipWindow : public QWidget
{
    Q_OBJECT
public:
    TipWindow(const QString &title, const QString &text, std::chrono::milliseconds lifetime,
              QWidget *parent = nullptr);

    // Closes the window when it runs out.
    QTimer &closeTimer() { return m_closeTimer; }

private:
    QTimer m_closeTimer;
};

} // namespace tavsms
