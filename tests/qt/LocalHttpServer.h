// A web server on 127.0.0.1 for the client tests: answers each GET from a handler, or leaves it
// unanswered, and keeps what was asked and when; over TLS when given a certificate and key.
#pragma once

#include <QElapsedTimer>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <memory>

namespace sondrel::test {

struct HttpAnswer {
    int status = 200;
    QByteArray body;
    bool never = false;  // keep the connection open and say nothing
};

struct HttpRequest {
    QByteArray target;  // path and query, as sent
    QByteArray userAgent;
    qint64 atMs = 0;  // since the server started
};

class LocalHttpServer : public QObject {
public:
    explicit LocalHttpServer(std::function<HttpAnswer(const QByteArray& target)> handler,
                             const QSslConfiguration* tls = nullptr)
        : m_handler(std::move(handler)) {
        m_clock.start();
        if (tls) {
            auto server = std::make_unique<QSslServer>();
            server->setSslConfiguration(*tls);
            m_server = std::move(server);
        } else {
            m_server = std::make_unique<QTcpServer>();
        }
        m_server->listen(QHostAddress::LocalHost);
        // A TLS connection is pending once its handshake is over.
        connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket* socket = m_server->nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Read(socket); });
                Read(socket);
            }
        });
        m_tls = tls != nullptr;
    }
    // The certificate names localhost.
    QByteArray Url() const {
        return (m_tls ? "https://localhost:" : "http://127.0.0.1:") +
               QByteArray::number(m_server->serverPort());
    }
    const std::vector<HttpRequest>& Requests() const { return m_requests; }

private:
    void Read(QTcpSocket* socket) {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        HttpRequest request;
        request.target = lines.first().split(' ').value(1);
        request.atMs = m_clock.elapsed();
        for (const QByteArray& line : lines) {
            if (line.toLower().startsWith("user-agent:"))
                request.userAgent = line.mid(11).trimmed();
        }
        m_requests.push_back(request);
        buffer.clear();
        const HttpAnswer answer = m_handler(request.target);
        if (answer.never)
            return;
        socket->write("HTTP/1.1 " + QByteArray::number(answer.status) +
                      " X\r\nContent-Type: application/json\r\nContent-Length: " +
                      QByteArray::number(answer.body.size()) + "\r\nConnection: close\r\n\r\n" +
                      answer.body);
        socket->disconnectFromHost();
    }

    std::function<HttpAnswer(const QByteArray&)> m_handler;
    std::unique_ptr<QTcpServer> m_server;
    bool m_tls = false;
    QElapsedTimer m_clock;
    std::map<QTcpSocket*, QByteArray> m_buffers;
    std::vector<HttpRequest> m_requests;
};

}  // namespace sondrel::test
