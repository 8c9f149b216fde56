#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

namespace tavsms::test {

// A bare device on a pseudo-terminal behind a link, driven from a thread of
// its own so that it writes while the program's event loop reads, as a busy
// cable does: it floods the program with a pattern as fast as the terminal
// takes it, and reads whatever the program writes.
class PtyDevice
{
public:
    PtyDevice() = default;
    PtyDevice(const PtyDevice &) = delete;
    PtyDevice &operator=(const PtyDevice &) = delete;
    ~PtyDevice() { close(); }

    // Opens the terminal and links `linkPath` to it; false (with the reason
    // in errorString()) when it cannot.
    bool open(const QString &linkPath);
    // The device vanishes: the thread stops, the link goes, the terminal closes.
    void close();
    QString errorString() const { return m_error; }

    // Writes `pattern` over and over until `total` bytes of it have gone,
    // then `tail` once.
    void startFlood(const QByteArray &pattern, qint64 total, const QByteArray &tail = {});
    bool floodDone() const { return m_doneGeneration == m_generation; }

private:
    void run();

    QString m_error;
    QString m_link;
    int m_master = -1;
    int m_slaveKeep = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_generation{0}; // one more for every startFlood
    std::atomic<int> m_doneGeneration{0};
    std::mutex m_mutex; // guards the flood's settings
    QByteArray m_pattern;
    QByteArray m_tail;
    qint64 m_total = 0;
};

} // namespace tavsms::test
