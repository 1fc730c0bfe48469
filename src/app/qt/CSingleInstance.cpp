#include "app/qt/CSingleInstance.h"

#include <unistd.h>
#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace sondrel {

namespace {
constexpr int kConnectTimeoutMs = 500;
const char kRaiseRequest[] = "raise\n";
}  // namespace

CSingleInstance::CSingleInstance(QString key, QObject* parent)
    : QObject(parent), m_key(std::move(key)) {}

QString CSingleInstance::DefaultKey() {
    // Per user and per configuration folder, so separate profiles (and tests) do not meet.
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QByteArray hash =
        QCryptographicHash::hash(config.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("sondrel-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool CSingleInstance::TakeLock() {
    if (m_lock)
        return true;
    auto lock = std::make_unique<QLockFile>(QDir(QDir::tempPath()).filePath(m_key + ".lock"));
    // A running instance holds its lock for as long as it runs, however long that is.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return false;
    m_lock = std::move(lock);
    return true;
}

bool CSingleInstance::BringRunningInstanceForward() {
    QLocalSocket socket;
    socket.connectToServer(m_key);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(kRaiseRequest);
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool CSingleInstance::Listen(std::function<void()> raise) {
    m_raise = std::move(raise);
    // A socket file left by a crashed instance would block the name; nobody answered on it.
    QLocalServer::removeServer(m_key);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(m_key))
        return false;
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (m_raise)
                m_raise();
        }
    });
    return true;
}

}  // namespace sondrel
