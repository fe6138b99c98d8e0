#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTcpServer>

class QTcpSocket;

// A small HTTP server on 127.0.0.1 inside the test process. Each path answers
// with a scripted response; anything else gets a 404. Every answer closes the
// connection, so each read is one request on its own connection.
class cLoopbackServer : public QTcpServer {
    Q_OBJECT
public:
    struct tResponse {
        int status = 200;
        QByteArray body;
        // The Content-Length sent: -1 for the body's size.
        qint64 contentLength = -1;
        // Send only this many body bytes, then wait for Release(); -1 sends all.
        qint64 holdAfter = -1;
    };

    bool Start();
    // "127.0.0.1:port", as the download control takes a host.
    QString HostPort() const { return QStringLiteral("127.0.0.1:%1").arg(serverPort()); }
    void Route(const QString& strPath, const tResponse& response) { m_routes[strPath] = response; }
    // Sends the rest of every held answer.
    void Release();
    // Held answers whose connection is still open.
    int Held() const;

    // Every request head, in arrival order.
    QList<QByteArray> requests;
    QStringList RequestedPaths() const;

private:
    void OnConnection();
    void Answer(QTcpSocket* socket, const QByteArray& head);

    struct tHeld {
        QPointer<QTcpSocket> socket;
        QByteArray rest;
    };
    QHash<QString, tResponse> m_routes;
    QList<tHeld> m_held;
};
