#pragma once

// Device commands of the main window and its UID, restart and reset pages (format,
// password, UID, network settings, restart, factory reset, flash image), and the
// replies that answer them with a result line.

#include <cstdint>
#include <mutex>
#include <string>

#include "protocol/reply_router.h"
#include "protocol/requests.h"

class CStation;

class CDevCmdFeature final : public IReplyHandler {
  public:
    static constexpr int kSetUidRefreshEvery = 20;  // set-UID successes per full refresh

    explicit CDevCmdFeature(CStation& station);

    int iOnReply(const CReplyReader& reply, std::uint32_t senderNet) override;

    // Requests to the selected device after the login check; false when nothing was sent.
    bool fgFormatSd();
    bool fgModifyPassword(const std::string& newPassword);
    // Asks the selected device to build its whole flash image ("All files").
    bool fgMakeUpgradeFile();
    // Writes a UID (sent without the login check, as a scanner writes one after another).
    bool fgSetUid(const std::string& uid);
    int iSetUidSuccessCount() const;

  private:
    CStation& m_station;
    mutable std::mutex m_lock;
    std::string m_strLastUid;
    int m_iSetUidSuccess = 0;
};
