#include "ui/single_instance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

#include "app/log.h"
#include "platform/paths.h"
#include "platform/process.h"

namespace {
constexpr char kShowRequest[] = "show\n";
constexpr char kAnswerShown = '1';
constexpr char kAnswerNoWindow = '0';
constexpr qint64 kAnswerBytes = 1;

// Whether names in folder need the user's id to be the user's own.
bool fgSharedFolder(const QString& folder) {
    return folder == QDir::tempPath();
}
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

QString CSingleInstance::strFolder() {
    // An unusable folder reads as empty; a lock beside the working directory would let
    // two starts from different folders both run.
    // Qt checks that the runtime folder the session names is this user's alone.
    QString folder = qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")
                         ? QString()
                         : QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) {
        folder = QDir::tempPath();
    }
    return QDir(folder).exists() ? folder : QString();
}

QString CSingleInstance::strLockPath(const QString& name) {
    const QString folder = strFolder();
    if (folder.isEmpty()) {
        return {};
    }
    const QString suffix =
        fgSharedFolder(folder) ? QString::fromStdString(strSharedFolderUserTag()) : QString();
    return QDir(folder).filePath(name + suffix + QStringLiteral(".lock"));
}

QString CSingleInstance::strServerPath(const QString& name) {
    const QString lock = strLockPath(name);
    return lock.isEmpty() ? QString() : lock.left(lock.size() - 5) + QStringLiteral(".socket");
}

void CSingleInstance::vStopOnSignals() {
    if (m_signalNotifier) {
        return;
    }
    const int requests = iStopRequestDescriptor();
    if (requests < 0) {
        return;
    }
    m_signalNotifier = std::make_unique<QSocketNotifier>(requests, QSocketNotifier::Read);
    connect(m_signalNotifier.get(), &QSocketNotifier::activated, this, [this] {
        vDrainStopRequests();
        emit sigStopRequested();
    });
}

EInstanceRole CSingleInstance::eAcquire(int answerTimeoutMs) {
    const QString lockPath = strLockPath(m_strName);
    if (lockPath.isEmpty()) {
        KLOG_ERR("no temp folder");
        return EInstanceRole::kFailed;
    }
    m_lock = std::make_unique<QLockFile>(lockPath);
    // Only a dead owner makes the lock stale, never its age: the station runs for days.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() != QLockFile::LockFailedError) {
            KLOG_ERR("lock fail,%d", static_cast<int>(m_lock->error()));
            return EInstanceRole::kFailed;
        }
        QLocalSocket socket;
        socket.connectToServer(strServerPath(m_strName));
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
    const QString serverPath = strServerPath(m_strName);
    QLocalServer::removeServer(serverPath);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(serverPath)) {
        KLOG_ERR("listen fail:%s", m_server.errorString().toLocal8Bit().constData());
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
