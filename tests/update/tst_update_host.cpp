// SPDX-License-Identifier: Apache-2.0
#include "cNumberDB.h"
#include "cUpdateJob.h"

#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

// Built against an update library configured with LUMIVO_UPDATE_HOST set to
// trial.lumivo.test:8080: the version file is asked of that host. A loopback
// proxy takes the request, so its first line names the whole URL.
class tst_update_host : public QObject {
    Q_OBJECT

private slots:
    void asksTheConfiguredHost() {
        QTcpServer proxy;
        QVERIFY(proxy.listen(QHostAddress::LocalHost));
        QNetworkProxy::setApplicationProxy(
            QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", proxy.serverPort()));
        QByteArray requestLine;
        connect(&proxy, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* socket = proxy.nextPendingConnection();
            connect(
                socket, &QTcpSocket::readyRead, socket,
                [&, socket] { requestLine = socket->readLine().trimmed(); },
                Qt::SingleShotConnection);
        });
        QTemporaryDir dir;
        cNumberDB db;
        cUpdateJob job(db, dir.path());
        QVERIFY(job.Start());
        QTRY_COMPARE(requestLine,
                     "GET http://trial.lumivo.test:8080/download/latestver.txt HTTP/1.1");
    }
};

QTEST_MAIN(tst_update_host)
#include "tst_update_host.moc"
