#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

namespace tavsms::test {

// A bare device on a pseudo-terminal behind a link, driven from a thread of
// its own so that it writes while the program's event loop reads, as a busy
// cable does. It can flood the program with a pattern (at a given rate or as
// fast as the terminal takes it), answer every command line with OK, and
// vanish.
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

    // Answers "\r\nOK\r\n" to every line the program writes.
    void setAnswering(bool on) { m_answering = on; }
    // Writes `pattern` over and over, then `tail` once when `total` bytes of
    // the pattern have gone (never, for 0). A rate of 0 writes as fast as
    // the terminal takes it.
    void startFlood(const QByteArray &pattern, qint64 total = 0, qint64 bytesPerSecond = 0,
                    const QByteArray &tail = {});
    void stopFlood();
    // Bytes written to the program so far, answers included.
    qint64 written() const { return m_written; }
    bool floodDone() const { return m_doneGeneration == m_generation; }

private:
    void run();

    QString m_error;
    QString m_link;
    int m_master = -1;
    int m_slaveKeep = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_answering{false};
    std::atomic<bool> m_flooding{false};
    std::atomic<int> m_generation{0}; // one more for every startFlood
    std::atomic<int> m_doneGeneration{0};
    std::atomic<qint64> m_written{0};
    std::mutex m_mutex; // guards the flood's settings
    QByteArray m_pattern;
    QByteArray m_tail;
    qint64 m_total = 0;
    qint64 m_rate = 0;
};

} // namespace tavsms::test
