#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <atomic>
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
    CProbe(const QString& name, const char* mode) {
        m_process.setProgram(QStringLiteral(KESTREL_PROBE_PATH));
        m_process.setArguments({name, QString::fromLatin1(mode)});
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
    // The lock lives in the temporary folder; one that does not exist cannot hold it.
    const QByteArray savedTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", "/nonexistent-kestrel-test-dir");
    CSingleInstance instance(strUniqueName());
    const EInstanceRole role = instance.eAcquire(500);
    if (savedTmp.isEmpty()) {
        qunsetenv("TMPDIR");
    } else {
        qputenv("TMPDIR", savedTmp);
    }
    EXPECT_EQ(EInstanceRole::kFailed, role);
}

}  // namespace
