#include <gtest/gtest.h>

#include <string>

#include "app/dbg_print.h"
#include "support/capture_stderr.h"

TEST(DbgPrint, WritesTheFormattedLine) {
    CCaptureStderr capture;
    vDbgPrint("camkit:%s, %d=>create socket fail\r\n", "CMySocket::Init", 42);
    EXPECT_EQ(capture.text(), "camkit:CMySocket::Init, 42=>create socket fail\r\n");
}

TEST(DbgPrint, CutsLongLinesAt1023Characters) {
    CCaptureStderr capture;
    const std::string longText(5000, 'x');
    vDbgPrint("camkit:%s, %d=>%s\r\n", "f", 1, longText.c_str());
    const std::string line = capture.text();
    ASSERT_EQ(line.size(), 1023U);
    EXPECT_EQ(line.substr(0, 11), "camkit:f, 1");
    EXPECT_EQ(line.back(), 'x');
}
