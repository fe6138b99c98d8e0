#include "cLoopbackServer.h"

#include <QTcpSocket>

bool cLoopbackServer::Start() {
    connect(this, &QTcpServer::newConnection, this, &cLoopbackServer::OnConnection);
    return listen(QHostAddress::LocalHost);
}

QStringList cLoopbackServer::RequestedPaths() const {
    QStringList paths;
    for (const QByteArray& head : requests)
        paths.append(QString::fromLatin1(head.split(' ').value(1)));
    return paths;
}

int cLoopbackServer::Held() const {
    int n = 0;
    for (const tHeld& held : m_held)
        n += held.socket && held.socket->state() == QAbstractSocket::ConnectedState;
    return n;
}

void cLoopbackServer::Release() {
    for (const tHeld& held : std::exchange(m_held, {}))
        if (held.socket) {
            held.socket->write(held.rest);
            held.socket->disconnectFromHost();
        }
}

void cLoopbackServer::OnConnection() {
    while (QTcpSocket* socket = nextPendingConnection()) {
        auto head = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, head] {
            if (head->endsWith("\r\n\r\n"))
                return;
            head->append(socket->readAll());
            if (head->endsWith("\r\n\r\n"))
                Answer(socket, *head);
        });
    }
}

void cLoopbackServer::Answer(QTcpSocket* socket, const QByteArray& head) {
    requests.append(head);
    const QString path = QString::fromLatin1(head.split(' ').value(1));
    const tResponse response = m_routes.value(path, tResponse{404, "not here", -1, -1});

    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) +
                     (response.status == 200 ? " OK" : " Not Found") + "\r\nConnection: close\r\n";
    out += "Content-Length: " +
           QByteArray::number(response.contentLength < 0 ? response.body.size()
                                                         : response.contentLength) +
           "\r\n\r\n";
    if (response.holdAfter < 0) {
        socket->write(out + response.body);
        socket->disconnectFromHost();
        return;
    }
    socket->write(out + response.body.left(response.holdAfter));
    m_held.append({socket, response.body.mid(response.holdAfter)});
}
