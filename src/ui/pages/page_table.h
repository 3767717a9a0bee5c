#pragma once

// The window's tab pages as one table: each row names the tab's caption, makes the page
// and attaches it to the station features it shows. The window iterates the table; a
// new page is one unit in src/ui/pages and one row in page_table.cpp.

#include <array>
#include <functional>
#include <string>
#include <utility>

class CScaledPage;
class CStation;
class QWidget;

// A page attached as the view of a station feature; the attachment ends (the feature's
// view is set back to none) when the handle goes, which waits for a call the receive
// thread may be making into the page. Move-only.
class CFeatureAttachment {
  public:
    CFeatureAttachment() = default;
    explicit CFeatureAttachment(std::function<void()> detach) : m_detach(std::move(detach)) {}
    CFeatureAttachment(CFeatureAttachment&& other) noexcept
        : m_detach(std::exchange(other.m_detach, nullptr)) {}
    CFeatureAttachment& operator=(CFeatureAttachment&& other) noexcept {
        if (this != &other) {
            vDetach();
            m_detach = std::exchange(other.m_detach, nullptr);
        }
        return *this;
    }
    CFeatureAttachment(const CFeatureAttachment&) = delete;
    CFeatureAttachment& operator=(const CFeatureAttachment&) = delete;
    ~CFeatureAttachment() { vDetach(); }

    bool fgAttached() const { return static_cast<bool>(m_detach); }

  private:
    void vDetach() {
        if (m_detach) {
            std::exchange(m_detach, nullptr)();
        }
    }

    std::function<void()> m_detach;
};

// Sets view as feature's view until the returned handle goes.
template <class TFeature, class TView>
CFeatureAttachment sAttachView(TFeature& feature, TView& view) {
    feature.vSetView(&view);
    return CFeatureAttachment([&feature] { feature.vSetView(nullptr); });
}

// What a page is made with: its parent (the tab control), the station it shows (may be
// null: a window without devices) and the folder for files the station writes.
struct CPageContext {
    QWidget* m_pParent = nullptr;
    CStation* m_pStation = nullptr;
    std::string m_strWritableDir;
};

struct CPageDef {
    const char* m_pszCaption;  // the tab's caption key
    // Makes the page, owned by the context's parent.
    CScaledPage* (*m_pfnMake)(const CPageContext& context);
    // Attaches the page to the features it shows (an empty handle: none).
    CFeatureAttachment (*m_pfnAttach)(CScaledPage& page, CStation& station);
};

// The tab pages, in tab order.
inline constexpr int kPageTableSize = 8;
const std::array<CPageDef, kPageTableSize>& pageTable();
