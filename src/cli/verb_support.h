#pragma once

// Small helpers of the verbs that talk to one device through the station.

#include <charconv>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <type_traits>

#include "protocol/lan_station.h"

// A whole decimal number: an optional minus sign and digits, nothing else.
inline std::optional<long long> sParseWholeNumber(std::string_view text) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

// The low bits of value that a field of type Field holds, as the station sends it;
// a value that does not fit is noted on notes with what is sent instead.
template <typename Field>
Field iFieldValue(long long value, std::string_view what, std::ostream& notes) {
    static_assert(std::is_unsigned_v<Field>);
    const auto sent = static_cast<Field>(static_cast<unsigned long long>(value));
    if (static_cast<long long>(sent) != value) {
        notes << "kestrel-cli: " << what << ' ' << value << " is sent as " << +sent
              << " (its field holds " << 8 * sizeof(Field) << " bits)\n";
    }
    return sent;
}

// A verb's own view attached to a feature for the verb's run: detached when the verb
// ends, which waits for a call the receive thread may be making into it.
template <typename Feature, typename View>
class CAttachedView {
  public:
    CAttachedView(Feature& feature, View& view) : m_feature(feature) { feature.vSetView(&view); }
    ~CAttachedView() { m_feature.vSetView(nullptr); }
    CAttachedView(const CAttachedView&) = delete;
    CAttachedView& operator=(const CAttachedView&) = delete;

  private:
    Feature& m_feature;
};
