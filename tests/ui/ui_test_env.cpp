#include "ui_test_env.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QTest>
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

namespace {
QAction* psFindEntry(const QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    return nullptr;
}

void vCloseEveryPopup() {
    while (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
    }
}
}  // namespace

void vPickFromNextMenu(const QStringList& path, std::function<void(QMenu&)> inspect) {
    auto* poll = new QTimer(qApp);
    auto polls = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, poll,
                     [poll, polls, path, inspect = std::move(inspect)] {
                         auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                         if (menu == nullptr) {
                             if (++*polls >= kGiveUpPolls) {
                                 ADD_FAILURE() << "no menu came up";
                                 poll->stop();
                                 poll->deleteLater();
                             }
                             return;
                         }
                         poll->stop();
                         poll->deleteLater();
                         if (inspect) {
                             inspect(*menu);
                         }
                         for (qsizetype at = 0; at < path.size(); ++at) {
                             QAction* entry = psFindEntry(*menu, path.at(at));
                             if (entry == nullptr) {
                                 ADD_FAILURE() << "no menu entry " << path.at(at).toStdString();
                                 break;
                             }
                             menu->setActiveAction(entry);
                             if (at + 1 == path.size()) {
                                 QTest::keyClick(menu, Qt::Key_Return);
                                 return;
                             }
                             QTest::keyClick(menu, Qt::Key_Right);
                             menu = entry->menu();
                             if (menu == nullptr || !menu->isVisible()) {
                                 ADD_FAILURE() << path.at(at).toStdString() << " opens no submenu";
                                 break;
                             }
                         }
                         vCloseEveryPopup();
                     });
    poll->start(kPollMs);
}

QStringList strsMenuTexts(const QMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions()) {
        texts.append(action->isSeparator() ? QString() : action->text());
    }
    return texts;
}
