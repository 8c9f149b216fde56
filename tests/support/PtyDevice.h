#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

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
    bool open(const QString &linkPath)
    {
        close();
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return fail();
        const QByteArray slave = ::ptsname(m_master);
        // Raw, and one end kept open here so the terminal does not hang up
        // whenever the program closes its side.
        m_slaveKeep = ::open(slave.constData(), O_RDWR | O_NOCTTY);
        if (m_slaveKeep >= 0) {
            termios tio{};
            ::tcgetattr(m_slaveKeep, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(m_slaveKeep, TCSANOW, &tio);
        }
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        QFile::remove(linkPath);
        if (::symlink(slave.constData(), QFile::encodeName(linkPath).constData()) != 0)
            return fail();
        m_link = linkPath;
        m_stop = false;
        m_thread = std::thread([this] { run(); });
        return true;
    }
    // The device vanishes: the thread stops, the link goes, the terminal closes.
    void close()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (!m_link.isEmpty())
            QFile::remove(m_link);
        m_link.clear();
        if (m_slaveKeep >= 0)
            ::close(m_slaveKeep);
        if (m_master >= 0)
            ::close(m_master);
        m_slaveKeep = m_master = -1;
    }
    QString errorString() const { return m_error; }

    // Answers "\r\nOK\r\n" to every line the program writes.
    void setAnswering(bool on) { m_answering = on; }
    // Writes `pattern` over and over, then `tail` once when `total` bytes of
    // the pattern have gone (never, for 0). A rate of 0 writes as fast as
    // the terminal takes it.
    void startFlood(const QByteArray &pattern, qint64 total, qint64 bytesPerSecond = 0, const QByteArray &tail = {})
    {
        std::lock_guard lock(m_mutex);
        m_pattern = pattern;
        m_tail = tail;
        m_total = total;
        m_rate = bytesPerSecond;
        m_flooding = true;
        ++m_generation;
    }
    void stopFlood() { m_flooding = false; }
    // Bytes written to the program so far, answers included.
    qint64 written() const { return m_written; }
    bool floodDone() const { return m_doneGeneration == m_generation; }

private:
    bool fail()
    {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        close();
        return false;
    }

    void run()
    {
        using Clock = std::chrono::steady_clock;
        QByteArray out;       // bytes to write now: answers first, then flood
        qint64 floodSent = 0; // pattern bytes of the current flood
        bool tailQueued = false;
        int generation = 0;
        Clock::time_point floodStart;
        char buffer[4096];
        while (!m_stop) {
            const bool flooding = m_flooding;
            if (flooding && generation != m_generation) {
                generation = m_generation;
                floodSent = 0;
                tailQueued = false;
                floodStart = Clock::now();
            }
            if (flooding && m_doneGeneration != generation && !tailQueued && out.size() < 65536) {
                std::lock_guard lock(m_mutex);
                qint64 allowed = 65536;
                if (m_rate > 0) {
                    const double seconds = std::chrono::duration<double>(Clock::now() - floodStart).count();
                    allowed = qMin(allowed, qint64(double(m_rate) * seconds) - floodSent);
                }
                if (m_total > 0)
                    allowed = qMin(allowed, m_total - floodSent);
                while (allowed > 0 && !m_pattern.isEmpty()) {
                    const qint64 n = qMin<qint64>(allowed, m_pattern.size());
                    out += m_pattern.left(n);
                    floodSent += n;
                    allowed -= n;
                }
                if (m_total > 0 && floodSent >= m_total) {
                    out += m_tail;
                    tailQueued = true;
                }
            }
            pollfd pfd{m_master, short(POLLIN | (out.isEmpty() ? 0 : POLLOUT)), 0};
            if (::poll(&pfd, 1, out.isEmpty() ? 2 : 20) < 0 && errno != EINTR)
                break;
            if (pfd.revents & POLLIN) {
                const ssize_t n = ::read(m_master, buffer, sizeof buffer);
                for (ssize_t i = 0; i < n; ++i)
                    if (buffer[i] == '\r' && m_answering)
                        out.prepend("\r\nOK\r\n");
            }
            if (!out.isEmpty() && (pfd.revents & POLLOUT)) {
                const ssize_t n = ::write(m_master, out.constData(), size_t(out.size()));
                if (n > 0) {
                    out.remove(0, n);
                    m_written += n;
                }
            }
            if (tailQueued && out.isEmpty())
                m_doneGeneration = generation;
        }
    }

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
