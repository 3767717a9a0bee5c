#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QString>
#include <QWidget>
#include <memory>

// What acquiring the single-instance lock found.
enum class EInstanceRole {
    kFirst,               // this process holds the lock and answers later starts
    kOtherShown,          // another instance runs; its window was restored and raised
    kOtherWithoutWindow,  // another instance runs but has no window to show (yet)
    kFailed,              // the lock could not be made
};

// One running copy of the program per user: a lock file held for the life of the
// object (taken over when its owner has died) and a local server beside it through
// which a later start asks the running one to show its window. Both live in the
// user's own runtime folder, so another user's station, running, dead or faked,
// never blocks this one.
//
// The running instance answers from its event loop: while it has no window, or does
// not run its loop within the later start's waiting time, the later start is told
// there is no window. UI thread only.
class CSingleInstance : public QObject {
    Q_OBJECT

  public:
    // name: the lock and the server name ("HALYARD" for the station).
    explicit CSingleInstance(QString name, QObject* parent = nullptr);
    ~CSingleInstance() override;

    // Takes the lock, or asks the instance that holds it to show its window, waiting
    // up to answerTimeoutMs for the answer. Call once.
    EInstanceRole eAcquire(int answerTimeoutMs = 2000);

    // The window a later start restores (when minimised) and raises; nullptr: later
    // starts are told there is none.
    void vSetWindow(QWidget* window) { m_window = window; }

    // SIGTERM and SIGINT no longer end the process at once: they emit
    // sigStopRequested on the UI thread, so that its owner closes the station in
    // order and the lock and server files go with it. Call once per process.
    void vStopOnSignals();

    // The user's runtime folder (XDG_RUNTIME_DIR when it is the user's own); when
    // there is none, the temporary folder, where the names carry the user's id. Empty
    // when neither exists.
    static QString strFolder();
    // Path of the lock file of a name; empty when strFolder is.
    static QString strLockPath(const QString& name);
    // Full path of the local server of a name; empty when strFolder is.
    static QString strServerPath(const QString& name);

  signals:
    // A later start asked for the window and it was shown.
    void sigWindowShown();
    // SIGTERM or SIGINT arrived (after vStopOnSignals).
    void sigStopRequested();

  private:
    void vOnNewConnection();
    bool fgShowWindow();

    QString m_strName;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
    QPointer<QWidget> m_window;
    std::unique_ptr<QSocketNotifier> m_signalNotifier;
};
