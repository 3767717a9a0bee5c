#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <atomic>
#include <csignal>
#include <memory>

#include "ui/single_instance.h"

namespace {

std::atomic<int> g_nameCounter{0};

// A lock name no other test or running station uses.
QString strUniqueName() {
    return QStringLiteral("HALYARD-test-%1-%2").arg(::getpid()).arg(g_nameCounter++);
}

// One probe process; stdin stays open (the probe holds its lock) until vRelease.
class CProbe {
  public:
    // asUid >= 0: started as that user (root can), with no runtime folder of its own
    // given, as a login without one.
    CProbe(const QString& name, const char* mode, int asUid = -1) {
        if (asUid < 0) {
            m_process.setProgram(QStringLiteral(KESTREL_PROBE_PATH));
            m_process.setArguments({name, QString::fromLatin1(mode)});
        } else {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            m_process.setProcessEnvironment(environment);
            m_process.setProgram(QStringLiteral("setpriv"));
            m_process.setArguments(
                {QStringLiteral("--reuid=%1").arg(asUid), QStringLiteral("--regid=%1").arg(asUid),
                 QStringLiteral("--clear-groups"), QStringLiteral(KESTREL_PROBE_PATH), name,
                 QString::fromLatin1(mode)});
        }
        m_process.start();
    }
    ~CProbe() {
        vRelease();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    // The next line the probe prints ("" when none comes within 10 s).
    std::string strLine() {
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(10000)) {
                return {};
            }
        }
        return m_process.readLine().trimmed().toStdString();
    }
    void vRelease() { m_process.closeWriteChannel(); }
    void vKill() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    void vSignal(int signal) { ::kill(static_cast<pid_t>(m_process.processId()), signal); }
    // The exit code once it ended by itself; -1 when it did not within 10 s or crashed.
    int iExitCode() {
        if (!m_process.waitForFinished(10000) || m_process.exitStatus() != QProcess::NormalExit) {
            return -1;
        }
        return m_process.exitCode();
    }

  private:
    QProcess m_process;
};

std::string strRunOnce(const QString& name) {
    CProbe probe(name, "once");
    return probe.strLine();
}

TEST(SingleInstance, TheFirstStartHoldsTheLock) {
    const QString name = strUniqueName();
    EXPECT_EQ("first", strRunOnce(name));
    EXPECT_EQ("first", strRunOnce(name)) << "the lock goes with the process";
}

TEST(SingleInstance, ASecondStartRestoresAndRaisesTheFirstWindowAndEndsSilently) {
    const QString name = strUniqueName();
    CProbe first(name, "window");
    ASSERT_EQ("first", first.strLine());
    EXPECT_EQ("other-shown", strRunOnce(name));
    EXPECT_EQ("shown minimised=0", first.strLine());
}

TEST(SingleInstance, ASecondStartWhileTheFirstHasNoWindowIsToldSo) {
    const QString name = strUniqueName();
    CProbe first(name, "nowindow");
    ASSERT_EQ("first", first.strLine());
    EXPECT_EQ("other-without-window", strRunOnce(name));
}

TEST(SingleInstance, TheLockOfADeadInstanceIsTakenOver) {
    const QString name = strUniqueName();
    {
        CProbe first(name, "window");
        ASSERT_EQ("first", first.strLine());
        first.vKill();
    }
    EXPECT_TRUE(QFile::exists(CSingleInstance::strLockPath(name))) << "left by the dead one";
    EXPECT_EQ("first", strRunOnce(name));
}

// The station stopped by the system or by Ctrl+C closes as a closed window does: its
// lock and its server are gone, so nothing stale is left for the next start.
TEST(SingleInstance, ATerminationSignalClosesItAndLeavesNoFiles) {
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        const QString name = strUniqueName();
        CProbe probe(name, "nowindow");
        ASSERT_EQ("first", probe.strLine());
        ASSERT_TRUE(QFile::exists(CSingleInstance::strLockPath(name)));
        ASSERT_TRUE(QFile::exists(CSingleInstance::strServerPath(name)));
        probe.vSignal(signal);
        EXPECT_EQ("stopping", probe.strLine());
        EXPECT_EQ(0, probe.iExitCode());
        EXPECT_FALSE(QFile::exists(CSingleInstance::strLockPath(name)));
        EXPECT_FALSE(QFile::exists(CSingleInstance::strServerPath(name)));
    }
}

// Another user's station, running or faked in the shared temporary folder, never
// stops this user's from starting.
TEST(SingleInstance, AnotherUsersStationNeverBlocksThisOne) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "starting a program as another user needs root";
    }
    constexpr int kNobody = 65534;
    const QString name = strUniqueName();
    // What another user may leave where every user can write.
    QFile fake(QDir(QDir::tempPath()).filePath(name + QStringLiteral(".lock")));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("1\nkestrel\nhost\n");
    fake.close();
    ASSERT_EQ(0, ::chown(fake.fileName().toLocal8Bit().constData(), kNobody, kNobody));
    CProbe other(name, "nowindow", kNobody);
    EXPECT_EQ("first", other.strLine());
    CProbe mine(name, "nowindow");
    EXPECT_EQ("first", mine.strLine());
    CProbe again(name, "once");
    EXPECT_EQ("other-without-window", again.strLine());
    QFile::remove(fake.fileName());
}

TEST(SingleInstance, OfTwoStartsAtOnceExactlyOneIsFirst) {
    const QString name = strUniqueName();
    CProbe one(name, "nowindow");
    CProbe two(name, "nowindow");
    const std::string roleOne = one.strLine();
    const std::string roleTwo = two.strLine();
    EXPECT_EQ(1, (roleOne == "first" ? 1 : 0) + (roleTwo == "first" ? 1 : 0))
        << roleOne << " / " << roleTwo;
    EXPECT_EQ(roleOne == "first" ? roleTwo : roleOne, "other-without-window");
}

TEST(SingleInstance, AnUnusableLockPlaceFails) {
    // Without a runtime folder the lock lives in the temporary folder; one that does
    // not exist cannot hold it.
    const QByteArray savedTmp = qgetenv("TMPDIR");
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", "/nonexistent-kestrel-test-dir");
    CSingleInstance instance(strUniqueName());
    const EInstanceRole role = instance.eAcquire(500);
    if (savedTmp.isEmpty()) {
        qunsetenv("TMPDIR");
    } else {
        qputenv("TMPDIR", savedTmp);
    }
    if (!savedRuntime.isEmpty()) {
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
    }
    EXPECT_EQ(EInstanceRole::kFailed, role);
}

}  // namespace
