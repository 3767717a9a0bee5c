#pragma once

#include <string>

// The environment every GUI test process runs in (set up by ui_test_main.cpp before
// the QApplication exists): Qt's offscreen platform and, when the process may make
// one, a network namespace of its own whose loopback no other process uses, so that
// tests binding the fixed protocol ports run in parallel with anything else.

// True when the process runs in its private network namespace.
bool fgPrivateNetwork();
// Why not, for GTEST_SKIP.
std::string strPrivateNetworkSkipReason();

#include <functional>

class QWidget;

// Waits in the running event loop (up to 5 s) for the next modal window, for example
// a message box, hands it to inspect and closes it unless inspect has answered it.
// Call before the code that opens it.
void vCloseNextModal(std::function<void(QWidget&)> inspect = {});

#include <QStringList>

class QMenu;

// Waits in the running event loop (up to 5 s) for the next pop-up menu, hands it to
// inspect, then chooses the entry at `path` by the keyboard, as an operator would:
// {"Copy UID"}, or {"Make updgrade file", "All files"} through a submenu. An empty
// path, or an entry that is missing (a test failure), closes the menu unchosen.
// Call before the code that opens it.
void vPickFromNextMenu(const QStringList& path, std::function<void(QMenu&)> inspect = {});

// The texts of a menu's entries in order; a separator is an empty text.
QStringList strsMenuTexts(const QMenu& menu);
