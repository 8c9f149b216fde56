#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>

namespace tavsms::test {

// A small HTTP server on 127.0.0.1 (a free port) for tests: records each
// request's head and answers with a fixed body, or stays silent.
class LoopbackHttpServer : public QObject
{
    Q_OBJECT
public:
    explicit LoopbackHttpServer(QObject *parent = nullptr);

    quint16 port() const { return m_server.serverPort(); }
    QString baseUrl() const;

    void setReply(const QByteArray &body, int status = 200) { m_body = body; m_status = status; }
    // Accept connections but never answer.
    void setSilent(bool silent) { m_silent = silent; }

    // Request lines ("GET /path?query HTTP/1.1") in arrival order.
    const QList<QByteArray> &requestLines() const { return m_lines; }
    // The request targets ("/path?query").
    QList<QByteArray> targets() const;

Q_SIGNALS:
    void requestReceived(const QByteArray &line);

private:
    void onConnection();

    QTcpServer m_server;
    QByteArray m_body = "OK";
    int m_status = 200;
    bool m_silent = false;
    QList<QByteArray> m_lines;
};

} // namespace tavsms::test
