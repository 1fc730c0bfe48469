// One running Sondrel per user and settings profile: the first start takes a lock file and
// listens on a local socket; a later start finds the lock taken, asks the first to come to
// the front and then ends.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace sondrel {

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    // key names the instance (one per user and configuration folder by default).
    explicit CSingleInstance(QString key = DefaultKey(), QObject* parent = nullptr);

    // Takes the instance lock; false when another instance holds it. Two starts at the same
    // moment cannot both succeed, and a lock left by a crashed instance is taken over. The
    // lock is held until this object goes.
    bool TakeLock();
    // True when another instance runs; it has then been asked to come forward.
    bool BringRunningInstanceForward();
    // Starts listening; raise is called whenever a later start asks for the front.
    bool Listen(std::function<void()> raise);

    static QString DefaultKey();

private:
    QString m_key;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
    std::function<void()> m_raise;
};

}  // namespace sondrel
