#pragma once

// The outcome of an operation that can fail for a reason its caller acts on or reports:
// a value, or a CError with a readable reason (and the system's error number when one
// caused it). Used at the boundaries where a bare negative number used to travel.
//
//   CResult<CSocket> sOpen(...);
//   if (auto socket = sOpen(...); !socket) { report(socket.error().m_strReason); }

#include <cassert>
#include <optional>
#include <string>
#include <utility>
#include <variant>

struct CError {
    std::string m_strReason;  // says what failed and why, for a person to read
    int m_iErrno = 0;         // the system's error number when one caused it, else 0
};

// A failure to return from a function that returns any CResult<T>.
inline CError sError(std::string reason, int errnoValue = 0) {
    return CError{std::move(reason), errnoValue};
}

template <typename T>
class [[nodiscard]] CResult {
  public:
    CResult(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    CResult(CError error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool fgOk() const { return m_state.index() == 0; }
    explicit operator bool() const { return fgOk(); }

    // The value; only when fgOk().
    T& value() {
        assert(fgOk());
        return std::get<0>(m_state);
    }
    const T& value() const {
        assert(fgOk());
        return std::get<0>(m_state);
    }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

    // The failure; only when !fgOk().
    const CError& error() const {
        assert(!fgOk());
        return std::get<1>(m_state);
    }

  private:
    std::variant<T, CError> m_state;
};

template <>
class [[nodiscard]] CResult<void> {
  public:
    CResult() = default;
    CResult(CError error) : m_error(std::move(error)) {}

    bool fgOk() const { return !m_error.has_value(); }
    explicit operator bool() const { return fgOk(); }

    const CError& error() const {
        assert(!fgOk());
        return *m_error;
    }

  private:
    std::optional<CError> m_error;
};
