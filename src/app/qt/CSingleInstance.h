// One running Sondrel per user and settings profile: the first start listens on a local
// socket; a later start asks it to come to the front and then ends.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>

namespace sondrel {

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    // key names the instance (one per user and configuration folder by default).
    explicit CSingleInstance(QString key = DefaultKey(), QObject* parent = nullptr);

    // True when another instance runs; it has then been asked to come forward.
    bool BringRunningInstanceForward();
    // Starts listening; raise is called whenever a later start asks for the front.
    bool Listen(std::function<void()> raise);

    static QString DefaultKey();

private:
    QString m_key;
    QLocalServer m_server;
    std::function<void()> m_raise;
};

}  // namespace sondrel
