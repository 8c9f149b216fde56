#include "LoopbackHttpServer.h"

#include <QTcpSocket>

namespace tavsms::test {

LoopbackHttpServer::LoopbackHttpServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &LoopbackHttpServer::onConnection);
    if (!m_server.listen(QHostAddress::LocalHost, 0))
        qFatal("cannot listen on loopback: %s", qPrintable(m_server.errorString()));
}

QString LoopbackHttpServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port());
}

QList<QByteArray> LoopbackHttpServer::targets() const
{
    QList<QByteArray> out;
    for (const QByteArray &line : m_lines)
        out << line.split(' ').value(1);
    return out;
}

void LoopbackHttpServer::onConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        auto buffer = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (!buffer->contains("\r\n\r\n"))
                return;
            const QByteArray line = buffer->left(buffer->indexOf("\r\n"));
            buffer->clear();
            m_lines << line;
            Q_EMIT requestReceived(line);
            if (m_silent)
                return;
            const QByteArray head = "HTTP/1.1 " + QByteArray::number(m_status) + (m_status == 200 ? " OK" : " Error")
                                    + "\r\nContent-Type: text/plain\r\nContent-Length: "
                                    + QByteArray::number(m_body.size()) + "\r\nConnection: close\r\n\r\n";
            socket->write(head + m_body);
            socket->disconnectFromHost();
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

} // namespace tavsms::test
