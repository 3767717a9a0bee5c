#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>

#include "app/settings.h"
#include "ui_test_env.h"

namespace {
bool g_fgPrivateNetwork = false;

// Only while the process has a single thread: unshare moves the calling thread alone.
bool fgEnterPrivateNetwork() {
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNET) != 0) {
        return false;
    }
    return std::system("ip link set lo up >/dev/null 2>&1") == 0;
}
}  // namespace

bool fgPrivateNetwork() {
    return g_fgPrivateNetwork;
}

std::string strPrivateNetworkSkipReason() {
    return "needs root and iproute2 for a private network namespace (the test binds the fixed "
           "protocol ports)";
}

int main(int argc, char** argv) {
    g_fgPrivateNetwork = fgEnterPrivateNetwork();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    // What a window writes by itself (the device history, exports) goes to a folder of
    // this run, never the working directory; tests that look at the files set their own.
    const QTemporaryDir writable;
    CSettings::instance().m_strWritableDir = writable.path().toStdString() + "/";
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
