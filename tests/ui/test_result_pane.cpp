#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTextBlock>
#include <algorithm>
#include <cstdio>

#include "ui/result_pane.h"

namespace {

TEST(ResultPane, LineBreaksOfEveryFormStartANewLine) {
    struct Row {
        QString text;
        QString shown;
    };
    for (const Row& row : {Row{"a\r\nb", "a\nb"}, Row{"a\rb", "a\nb"}, Row{"a\nb", "a\nb"},
                           Row{"\r\n\r\na", "\n\na"}, Row{"plain", "plain"}}) {
        EXPECT_EQ(row.shown, strPaneText(row.text)) << row.text.toStdString();
    }
}

TEST(ResultPane, AppendsExactlyAtTheEndOnTheNextTurnOfTheEventLoop) {
    CResultPane pane(nullptr);
    pane.vSetText("Start server success...");
    pane.vAppend("\r\n10.0.0.1 To restart");
    pane.vAppend("\r\n10.0.0.2 Code success");
    EXPECT_EQ("Start server success...", pane.toPlainText()) << "gathered, not yet written";
    QApplication::processEvents();
    EXPECT_EQ("Start server success...\n10.0.0.1 To restart\n10.0.0.2 Code success",
              pane.toPlainText());
    pane.vAppend(" tail");
    EXPECT_EQ("Start server success...\n10.0.0.1 To restart\n10.0.0.2 Code success tail",
              pane.strText());
    EXPECT_TRUE(pane.isReadOnly());
}

TEST(ResultPane, SetTextDropsWhatIsPending) {
    CResultPane pane(nullptr);
    pane.vAppend("\r\nold");
    pane.vSetText(" 10.0.0.1\r\n 10.0.0.2\r\n");
    QApplication::processEvents();
    EXPECT_EQ(" 10.0.0.1\n 10.0.0.2\n", pane.toPlainText());
}

TEST(ResultPane, KeepsAHundredThousandLinesAndShowsTheLast) {
    constexpr int kLines = 100000;
    CResultPane pane(nullptr);
    pane.resize(600, 300);
    pane.show();
    pane.vSetText("Start server success...");

    QElapsedTimer appendClock;
    appendClock.start();
    for (int line = 0; line < kLines; ++line) {
        pane.vAppend(
            QStringLiteral("\r\n10.0.%1.%2 Check device success").arg(line / 256).arg(line % 256));
    }
    const qint64 appendMs = appendClock.elapsed();
    QElapsedTimer flushClock;
    flushClock.start();
    QApplication::processEvents();
    const qint64 flushMs = flushClock.elapsed();

    EXPECT_EQ(kLines + 1, pane.document()->blockCount());
    EXPECT_EQ("10.0.1.134 Check device success", pane.document()->findBlockByNumber(391).text());
    EXPECT_EQ("10.0.390.159 Check device success", pane.document()->lastBlock().text());
    EXPECT_EQ(pane.verticalScrollBar()->maximum(), pane.verticalScrollBar()->value());

    // Lines that keep coming one at a time to a full pane: each costs one short write,
    // not a layout of the whole text.
    QApplication::processEvents();
    constexpr int kLaterLines = 100;
    qint64 slowestMs = 0;
    QElapsedTimer laterClock;
    laterClock.start();
    for (int line = 0; line < kLaterLines; ++line) {
        QElapsedTimer oneClock;
        oneClock.start();
        pane.vAppend(QStringLiteral("\r\n10.0.0.9 To restart %1").arg(line));
        QApplication::processEvents();
        slowestMs = std::max(slowestMs, oneClock.elapsed());
    }
    const qint64 laterMs = laterClock.elapsed();
    EXPECT_EQ(kLines + 1 + kLaterLines, pane.document()->blockCount());
    EXPECT_EQ("10.0.0.9 To restart 99", pane.document()->lastBlock().text());
    EXPECT_EQ(pane.verticalScrollBar()->maximum(), pane.verticalScrollBar()->value());
    std::printf(
        "[ measure  ] %d lines gathered in %lld ms, written in one piece in %lld ms; then %d "
        "single lines in %lld ms (slowest %lld ms)\n",
        kLines, static_cast<long long>(appendMs), static_cast<long long>(flushMs), kLaterLines,
        static_cast<long long>(laterMs), static_cast<long long>(slowestMs));
}

}  // namespace
