#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

class QTableWidget;
class QWidget;

// Results of the boxes, as the callers compare them.
inline constexpr int kBoxOk = 1;
inline constexpr int kBoxCancel = 2;

// A modal box with the translated caption "TIPS", the text unchanged (callers
// translate it) and the buttons OK and Cancel. Returns kBoxOk or kBoxCancel (also for
// a box closed without a button).
int iMessageBoxTips(QWidget* owner, const QString& text);

// A modal box with the caption "TIPS" and only OK; returns when it is closed.
void vMessageBoxTipsOk(QWidget* owner, const QString& text);

// The same box shown without waiting: it closes and frees itself when dismissed.
void vShowTipsBox(QWidget* owner, const QString& text);
// The same with a caption of the caller's (the application name for the Wi-Fi result).
void vShowBox(QWidget* owner, const QString& caption, const QString& text);

// Gives the list grid lines, check boxes and whole-row selection, removes every row
// and adds one row per text (the text in the first column, the check box clear).
// Returns 0.
int iListCtrlFill(QTableWidget& list, const std::vector<std::string>& rows);

// Appends a row: the row's ordinal counted from 1 in the first column, then the
// values in order (values beyond the list's columns are left out). Returns 0.
int iListCtrlAddRow(QTableWidget& list, const std::vector<std::string>& values);

// Longest path iEXP_OpenFileManageGetFilePath hands out, in bytes.
inline constexpr std::size_t kMaxFilePathBytes = 259;

// Lets the operator choose one existing file ("Open file", filter "*.*", default
// extension ".log"). 0 with the chosen path in `path` (UTF-8, at most 259 bytes);
// -1 with "get file fail" when nothing was chosen or the path is longer.
int iEXP_OpenFileManageGetFilePath(std::string& path, QWidget* owner);

// Asks the operator where to save a file: the dialog's caption, the path it suggests
// and its name filter ("CSV (*.csv)"). The chosen path, or an empty text when the
// operator cancelled. Commands take one of these so that tests can answer it.
using FChooseSavePath = std::function<QString(QWidget* owner, const QString& caption,
                                              const QString& suggestedPath, const QString& filter)>;

// The platform's save dialog; it asks before an existing file is replaced.
QString strChooseSavePath(QWidget* owner, const QString& caption, const QString& suggestedPath,
                          const QString& filter);

// Writes bytes to path whole or not at all: an existing file is replaced only once the
// new content is complete. false when the file could not be written.
bool fgWriteWholeFile(const QString& path, const QByteArray& bytes);
