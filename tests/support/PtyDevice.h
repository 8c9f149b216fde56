#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <atomic>
#include <cerrno>
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

    // Writes `pattern` over and over until `total` bytes of it have gone,
    // then `tail` once.
    void startFlood(const QByteArray &pattern, qint64 total, const QByteArray &tail = {})
    {
        std::lock_guard lock(m_mutex);
        m_pattern = pattern;
        m_tail = tail;
        m_total = total;
        ++m_generation;
    }
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
        QByteArray out;       // bytes to write now
        qint64 floodSent = 0; // pattern bytes of the current flood
        bool tailQueued = false;
        int generation = 0;
        char buffer[4096];
        while (!m_stop) {
            if (generation != m_generation) {
                generation = m_generation;
                floodSent = 0;
                tailQueued = false;
            }
            if (m_doneGeneration != generation && !tailQueued && out.size() < 65536) {
                std::lock_guard lock(m_mutex);
                QByteArray chunk;
                while (chunk.size() < qMin<qint64>(65536, m_total - floodSent))
                    chunk += m_pattern;
                chunk.truncate(qMin<qint64>(65536, m_total - floodSent));
                out += chunk;
                floodSent += chunk.size();
                if (floodSent >= m_total) {
                    out += m_tail;
                    tailQueued = true;
                }
            }
            pollfd pfd{m_master, short(POLLIN | (out.isEmpty() ? 0 : POLLOUT)), 0};
            if (::poll(&pfd, 1, out.isEmpty() ? 2 : 20) < 0 && errno != EINTR)
                break;
            if (pfd.revents & POLLIN)
                (void)::read(m_master, buffer, sizeof buffer);
            if (!out.isEmpty() && (pfd.revents & POLLOUT)) {
                const ssize_t n = ::write(m_master, out.constData(), size_t(out.size()));
                if (n > 0)
                    out.remove(0, n);
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
    std::atomic<int> m_generation{0}; // one more for every startFlood
    std::atomic<int> m_doneGeneration{0};
    std::mutex m_mutex; // guards the flood's settings
    QByteArray m_pattern;
    QByteArray m_tail;
    qint64 m_total = 0;
};

} // namespace tavsms::test
