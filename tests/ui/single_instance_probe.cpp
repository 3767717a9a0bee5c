// A program that takes the single-instance lock of a given name, for the tests that
// start it twice.
//   single_instance_probe NAME once         prints its role and exits
//   single_instance_probe NAME window       prints its role; holds the lock with a
//                                           minimised window until stdin closes
//   single_instance_probe NAME nowindow     the same without a window
// Roles: first, other-shown, other-without-window, failed. When the held window is
// shown for a later start it prints "shown minimised=<0|1>". SIGTERM or SIGINT make
// it print "stopping" and end as a closed window does, releasing the lock.

#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <cstdio>
#include <string>

#include "ui/single_instance.h"

namespace {
const char* pszRole(EInstanceRole role) {
    switch (role) {
        case EInstanceRole::kFirst:
            return "first";
        case EInstanceRole::kOtherShown:
            return "other-shown";
        case EInstanceRole::kOtherWithoutWindow:
            return "other-without-window";
        case EInstanceRole::kFailed:
            return "failed";
    }
    return "?";
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    QApplication app(argc, argv);
    const std::string mode = argv[2];
    CSingleInstance instance(QString::fromLocal8Bit(argv[1]));
    const EInstanceRole role = instance.eAcquire(1000);
    instance.vStopOnSignals();
    std::printf("%s\n", pszRole(role));
    std::fflush(stdout);
    if (mode == "once" || role != EInstanceRole::kFirst) {
        return 0;
    }
    QWidget window;
    if (mode == "window") {
        window.showMinimized();
        instance.vSetWindow(&window);
    }
    QObject::connect(&instance, &CSingleInstance::sigWindowShown, [&window] {
        std::printf("shown minimised=%d\n", window.isMinimized() ? 1 : 0);
        std::fflush(stdout);
    });
    QObject::connect(&instance, &CSingleInstance::sigStopRequested, [] {
        std::printf("stopping\n");
        std::fflush(stdout);
        QApplication::quit();
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&input] {
        char byte = 0;
        if (::read(STDIN_FILENO, &byte, 1) <= 0) {
            input.setEnabled(false);
            QApplication::quit();
        }
    });
    return QApplication::exec();
}
