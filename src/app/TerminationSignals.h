#pragma once

#include <QObject>

class QSocketNotifier;

namespace tavsms {

// SIGTERM and SIGINT as a Qt signal on the one thread: the handler only
// writes a byte to a pipe, which the event loop reads. One instance per
// process.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace tavsms
