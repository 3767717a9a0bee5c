#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <QTimer>

// A read-only text pane that only grows at its end: the result pane, into which
// every outcome of the station is written, and (with vSetText) the device pool pane.
// Texts are taken exactly as given; "\r\n" (or a lone "\r" or "\n") starts a new line.
// Appends are gathered and written in one piece at the next turn of the event loop
// (vFlush writes them at once), then the pane scrolls to its last line, so a burst of
// thousands of lines costs one layout pass. The pane keeps every line. UI thread only.
class CResultPane : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit CResultPane(QWidget* parent);

    void vAppend(const QString& text);
    // Writes what is pending and scrolls to the end.
    void vFlush();
    // Replaces the whole text (pending appends are dropped) and scrolls to the end.
    void vSetText(const QString& text);
    // The text shown and pending, with line breaks as "\n".
    QString strText();

  private:
    QString m_strPending;
    QTimer m_flushTimer;
};

// The pane's form of a text: "\r\n" and lone "\r" become "\n".
QString strPaneText(const QString& text);
