#pragma once

#include <QWidget>

namespace tavsms {

// A small notice that closes itself: the "Tip" after a failed port check.
class TipWindow : public QWidget
{
    Q_OBJECT
public:
    TipWindow(const QString &title, const QString &text, int seconds, QWidget *parent = nullptr);
};

} // namespace tavsms
