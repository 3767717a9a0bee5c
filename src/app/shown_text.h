#pragma once

#include <string>
#include <string_view>

// Text a device sent is shown to people, never obeyed: one rendering for the
// terminal, CSV, HTML and the window's panes.

// Whether a field may break lines (a log, a configuration text) or is one line (a
// UID, a version, a name).
enum class ELineBreaks { kEscape, kKeep };

// The text as valid UTF-8 (invalid sequences become U+FFFD) in which every control
// character is a visible escape "\xHH" (ESC is "\x1b"): C0 (0x00-0x1F), DEL (0x7F)
// and C1 (U+0080-U+009F). With kKeep, LF and TAB stay and a CR right before an LF is
// dropped; a lone CR is still escaped, so no line can be written over.
std::string strShownText(std::string_view raw, ELineBreaks breaks = ELineBreaks::kEscape);
