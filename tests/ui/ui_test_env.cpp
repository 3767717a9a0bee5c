#include "ui_test_env.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <memory>

namespace {
constexpr int kPollMs = 10;
constexpr int kGiveUpPolls = 500;
}  // namespace

void vCloseNextModal(std::function<void(QWidget&)> inspect) {
    auto* poll = new QTimer(qApp);
    auto polls = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, polls, inspect = std::move(inspect)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            if (++*polls >= kGiveUpPolls) {
                poll->deleteLater();
                poll->stop();
            }
            return;
        }
        poll->stop();
        poll->deleteLater();
        if (inspect) {
            inspect(*modal);
        }
        if (!modal->isVisible()) {
            return;  // inspect has answered it
        }
        if (auto* dialog = qobject_cast<QDialog*>(modal); dialog != nullptr) {
            dialog->reject();
        } else {
            modal->close();
        }
    });
    poll->start(kPollMs);
}
