#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QSocketNotifier;

namespace tavsms::sim {

class ModemSimulator;

// Commands typed by whoever runs the simulator, one a line, read from a file
// descriptor (standard input) without blocking: the simulated device goes on
// answering while nothing is typed, and the end of the input ends nothing.
class OperatorConsole : public QObject
{
    Q_OBJECT
public:
    using Output = std::function<void(const QString &line)>;

    OperatorConsole(ModemSimulator &sim, Output output, QObject *parent = nullptr);

    // Starts reading command lines from `fd`.
    void listen(int fd);
    // Runs one command line and returns what to print.
    QStringList run(const QString &line);
    static QStringList helpText();

Q_SIGNALS:
    void quitRequested();

private:
    void onReadable();
    void runBufferedLines(bool includingPartial);
    QStringList addMessage(const QString &arguments);
    QStringList addPdu(const QString &arguments);
    QStringList listInbox() const;
    QStringList setNetwork(const QString &command, const QString &arguments);

    ModemSimulator &m_sim;
    Output m_output;
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_buffer;
};

} // namespace tavsms::sim
