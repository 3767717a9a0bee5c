// The report of a line check carries texts a device sent (UID, version, reasons that
// quote them): none of them may break the CSV, the JSON or the page.
#include <gtest/gtest.h>

#include <algorithm>

#include "check/check_report.h"

namespace {

CDeviceCheck sRow(const std::string& ip, const std::string& uid, EStepOutcome video) {
    CDeviceCheck row;
    row.m_strIp = ip;
    row.m_strUid = uid;
    row.m_strVersion = "V1";
    row.step(ECheckStep::kSearch) = {EStepOutcome::kPass, "answered", 0};
    row.step(ECheckStep::kVideo) = {video, "seen: " + uid, 12};
    return row;
}

}  // namespace

TEST(CheckReport, Base64OfTheStandardVectors) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : cases) {
        const std::string text(plain);
        EXPECT_EQ(strBase64(std::vector<std::uint8_t>(text.begin(), text.end())), encoded);
    }
}

TEST(CheckReport, HostileDeviceTextsStayInsideTheirFields) {
    const std::string hostile = "=HYPERLINK(\"x\"),<script>alert(1)</script>\n\xff\"";
    CCheckReport report;
    report.m_strStarted = "2026-12-09 17:00:00";
    report.m_rows = {sRow("127.0.0.2", "KSIM00000000001DEVAA", EStepOutcome::kPass),
                     sRow("127.0.0.3", hostile, EStepOutcome::kFail)};

    const std::string csv = strCheckCsv(report.m_rows);
    // Three lines: the header and one per device, however many breaks the UID holds
    // (a quoted break belongs to its field).
    int records = 0;
    bool quoted = false;
    for (const char c : csv) {
        quoted = c == '"' ? !quoted : quoted;
        records += c == '\n' && !quoted ? 1 : 0;
    }
    EXPECT_EQ(records, 3) << csv;
    EXPECT_NE(csv.find("\"'=HYPERLINK"), std::string::npos) << "a formula is defused";
    EXPECT_EQ(csv.find('\xff'), std::string::npos) << "invalid UTF-8 is replaced";
    // Each row names the command that shows the device's history: by a UID that keeps
    // to the bench's rule, else by the address (never by a device text).
    EXPECT_NE(csv.find(",kestrel-cli history KSIM00000000001DEVAA\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",kestrel-cli history 127.0.0.3\n"), std::string::npos) << csv;

    const std::string json = strCheckJson(report);
    EXPECT_NE(json.find(R"(=HYPERLINK(\"x\"),<script>alert(1)</script>\u000a)"), std::string::npos)
        << json;
    EXPECT_NE(json.find("\"passed\": 1,\n  \"failed\": 1"), std::string::npos) << json;

    const std::string html = strCheckHtml(report);
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_NE(html.find("<code>kestrel-cli history 127.0.0.3</code>"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    // Failed devices first.
    EXPECT_LT(html.find("<b>127.0.0.3</b>"), html.find("<b>127.0.0.2</b>"));
}
