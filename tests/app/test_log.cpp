#include <gtest/gtest.h>

#include <string>

#include "app/log.h"
#include "support/capture_stderr.h"

namespace {

// Restores the levels a test changes.
class CLogLevelsGuard {
  public:
    CLogLevelsGuard() : m_eDefault(eLogLevel({})), m_eNet(eLogLevel("net")) {}
    ~CLogLevelsGuard() {
        vSetLogLevel({}, m_eDefault);
        vSetLogLevel("net", m_eNet);
        vSetLogLevel("tests", m_eDefault);
    }
    CLogLevelsGuard(const CLogLevelsGuard&) = delete;
    CLogLevelsGuard& operator=(const CLogLevelsGuard&) = delete;

  private:
    ELogLevel m_eDefault;
    ELogLevel m_eNet;
};

class CSample {
  public:
    // Writes a line; line gets the source line it was written from.
    void vReport(int port, int& line) const {
        line = __LINE__ + 1;
        KLOG_ERR("bind %d refused", port);
    }
};

}  // namespace

TEST(Log, LineNamesComponentFunctionAndLineByItself) {
    const CLogLevelsGuard guard;
    vSetLogLevel({}, ELogLevel::kDebug);
    CCaptureStderr capture;
    int line = 0;
    CSample().vReport(24216, line);
    EXPECT_EQ(capture.text(), "camkit:err:tests:CSample::vReport, " + std::to_string(line) +
                                  "=>bind 24216 refused\r\n");
}

TEST(Log, LevelsPerComponentDecideWhatIsWritten) {
    const CLogLevelsGuard guard;
    struct CRow {
        const char* m_pszLevels;
        bool m_fgInfoWritten;  // of a line from the tests' component
        bool m_fgErrWritten;
    };
    // The component's own level wins over the level of all.
    for (const CRow& row :
         {CRow{"off,tests=debug", true, true}, CRow{"debug,tests=err", false, true},
          CRow{"info,tests=off", false, false}, CRow{"err,tests=info", true, true}}) {
        ASSERT_TRUE(fgApplyLogLevels(row.m_pszLevels)) << row.m_pszLevels;
        CCaptureStderr capture;
        KLOG_INFO("step %d", 1);
        KLOG_ERR("failed");
        const std::string text = capture.text();
        EXPECT_EQ(text.find("=>step 1") != std::string::npos, row.m_fgInfoWritten)
            << row.m_pszLevels;
        EXPECT_EQ(text.find("=>failed") != std::string::npos, row.m_fgErrWritten)
            << row.m_pszLevels;
    }
    ASSERT_TRUE(fgApplyLogLevels("warn"));
    EXPECT_EQ(eLogLevel("protocol"), ELogLevel::kWarn);
    // A levels text with a part not understood changes nothing.
    vSetLogLevel("net", ELogLevel::kWarn);
    for (const char* bad : {"loud", "net=loud", "=debug", "info,net=", "net=debug,x"}) {
        EXPECT_FALSE(fgApplyLogLevels(bad)) << bad;
        EXPECT_EQ(eLogLevel("net"), ELogLevel::kWarn) << bad;
    }
}

TEST(Log, LongMessagesAreCutButKeepTheirEnd) {
    const CLogLevelsGuard guard;
    vSetLogLevel({}, ELogLevel::kInfo);
    CCaptureStderr capture;
    const std::string longText(5000, 'x');
    KLOG_INFO("%s\r\n", longText.c_str());
    const std::string line = capture.text();
    ASSERT_EQ(line.size(), static_cast<size_t>(kLogLineMax));
    EXPECT_TRUE(line.starts_with("camkit:tests:"));
    EXPECT_TRUE(line.ends_with("xx\r\n"));
}

TEST(Log, DeviceTextInAMessageCannotForgeALineOrDriveTheTerminal) {
    const CLogLevelsGuard guard;
    vSetLogLevel({}, ELogLevel::kInfo);
    CCaptureStderr capture;
    const std::string ssid = "x\r\ncamkit:err:net:forged, 1=>\x1b[2J";
    KLOG_INFO("ssid %s", ssid.c_str());
    const std::string line = capture.text();
    EXPECT_TRUE(line.ends_with("=>ssid x\\x0d\\x0acamkit:err:net:forged, 1=>\\x1b[2J\r\n")) << line;
}

TEST(Log, ComponentAndFunctionFromWhereTheLineIsWritten) {
    struct CPathRow {
        const char* m_pszPath;
        const char* m_pszComponent;
    };
    for (const CPathRow& row : {
             CPathRow{"/work/kestrel/src/net/my_socket.cpp", "net"},
             CPathRow{"src/ui/pages/dlg_video.cpp", "ui"},
             CPathRow{"/home/u/src/kestrel/tools/devsim/sim_horn.cpp", "devsim"},
             CPathRow{"/home/u/src/kestrel/tests/app/test_log.cpp", "tests"},
             CPathRow{"/work/kestrel/src/app/log.h", "app"},
             CPathRow{"elsewhere.cpp", "kestrel"},
         }) {
        EXPECT_EQ(strLogComponent(row.m_pszPath), row.m_pszComponent) << row.m_pszPath;
    }
    struct CNameRow {
        const char* m_pszSignature;
        const char* m_pszName;
    };
    for (const CNameRow& row : {
             CNameRow{"bool CMySocket::Init(ILanReceiver&, std::optional<int>)", "CMySocket::Init"},
             CNameRow{"std::optional<CDevInfo> CStation::sSelectRow(int)", "CStation::sSelectRow"},
             CNameRow{"std::map<int, std::pair<int, int> > CTab::mapRows() const", "CTab::mapRows"},
             CNameRow{"CMySocket::Init(ILanReceiver&)::<lambda(std::stop_token)>",
                      "CMySocket::Init"},
             CNameRow{"int {anonymous}::iLogFd()", "iLogFd"},
             CNameRow{"void vFree()", "vFree"},
         }) {
        EXPECT_EQ(strLogFunction(row.m_pszSignature), row.m_pszName) << row.m_pszSignature;
    }
}
