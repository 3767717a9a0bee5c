#include "ui/single_instance.h"

#include <QDir>
#include <QLocalSocket>

#include "app/dbg_print.h"

namespace {
constexpr char kShowRequest[] = "show\n";
constexpr char kAnswerShown = '1';
constexpr char kAnswerNoWindow = '0';
constexpr qint64 kAnswerBytes = 1;
}  // namespace

CSingleInstance::CSingleInstance(QString name, QObject* parent)
    : QObject(parent), m_strName(std::move(name)) {
    connect(&m_server, &QLocalServer::newConnection, this, &CSingleInstance::vOnNewConnection);
}

CSingleInstance::~CSingleInstance() {
    m_server.close();
    if (m_lock) {
        m_lock->unlock();
    }
}

QString CSingleInstance::strLockPath(const QString& name) {
    // An unusable temporary folder reads as empty; a lock beside the working directory
    // would let two starts from different folders both run.
    const QString folder = QDir::tempPath();
    if (folder.isEmpty()) {
        return {};
    }
    return QDir(folder).filePath(name + QStringLiteral(".lock"));
}

EInstanceRole CSingleInstance::eAcquire(int answerTimeoutMs) {
    const QString lockPath = strLockPath(m_strName);
    if (lockPath.isEmpty()) {
        vDbgPrint("camkit:err:%s, %d=>no temp folder\r\n", "CSingleInstance::eAcquire", __LINE__);
        return EInstanceRole::kFailed;
    }
    m_lock = std::make_unique<QLockFile>(lockPath);
    // Only a dead owner makes the lock stale, never its age: the station runs for days.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() != QLockFile::LockFailedError) {
            vDbgPrint("camkit:err:%s, %d=>lock fail,%d\r\n", "CSingleInstance::eAcquire", __LINE__,
                      static_cast<int>(m_lock->error()));
            return EInstanceRole::kFailed;
        }
        QLocalSocket socket;
        socket.connectToServer(m_strName);
        if (!socket.waitForConnected(answerTimeoutMs)) {
            return EInstanceRole::kOtherWithoutWindow;
        }
        socket.write(kShowRequest);
        socket.waitForBytesWritten(answerTimeoutMs);
        while (socket.bytesAvailable() < kAnswerBytes && socket.waitForReadyRead(answerTimeoutMs)) {
        }
        char answer = kAnswerNoWindow;
        if (socket.read(&answer, kAnswerBytes) == kAnswerBytes && answer == kAnswerShown) {
            return EInstanceRole::kOtherShown;
        }
        return EInstanceRole::kOtherWithoutWindow;
    }
    // Holding the lock, a server file left by a dead owner is ours to remove.
    QLocalServer::removeServer(m_strName);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(m_strName)) {
        vDbgPrint("camkit:err:%s, %d=>listen fail:%s\r\n", "CSingleInstance::eAcquire", __LINE__,
                  m_server.errorString().toLocal8Bit().constData());
        m_lock->unlock();
        return EInstanceRole::kFailed;
    }
    return EInstanceRole::kFirst;
}

void CSingleInstance::vOnNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine()) {
                return;
            }
            socket->readAll();
            const char answer = fgShowWindow() ? kAnswerShown : kAnswerNoWindow;
            socket->write(&answer, kAnswerBytes);
            socket->disconnectFromServer();
        });
    }
}

bool CSingleInstance::fgShowWindow() {
    if (m_window.isNull() || !m_window->isVisible()) {
        return false;
    }
    if (m_window->isMinimized()) {
        m_window->showNormal();
    }
    m_window->raise();
    m_window->activateWindow();
    emit sigWindowShown();
    return true;
}
