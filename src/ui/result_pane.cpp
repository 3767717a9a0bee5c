#include "ui/result_pane.h"

#include <QScrollBar>
#include <QTextCursor>

QString strPaneText(const QString& text) {
    QString paneText = text;
    paneText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    paneText.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return paneText;
}

CResultPane::CResultPane(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setMaximumBlockCount(0);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(0);
    connect(&m_flushTimer, &QTimer::timeout, this, &CResultPane::vFlush);
}

void CResultPane::vAppend(const QString& text) {
    m_strPending += text;
    if (!m_flushTimer.isActive()) {
        m_flushTimer.start();
    }
}

void CResultPane::vFlush() {
    m_flushTimer.stop();
    if (!m_strPending.isEmpty()) {
        QTextCursor cursor(document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(strPaneText(m_strPending));
        m_strPending.clear();
    }
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CResultPane::vSetText(const QString& text) {
    m_flushTimer.stop();
    m_strPending.clear();
    setPlainText(strPaneText(text));
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

QString CResultPane::strText() {
    vFlush();
    return toPlainText();
}
