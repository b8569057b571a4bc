// SPDX-License-Identifier: MIT
#pragma once
// A failure of the history, as a value: what failed, where (a file, or a
// URL without its password) and why. Telling the user is the caller's.

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace quill {

struct HistoryError {
    std::string what;  // one of the texts of historytexts.h
    std::string where; // the file, or the URL without its password
    std::string why;   // the reason, one line

    // "what (where): why"
    std::string text() const { return what + " (" + where + "): " + why; }
};

// A value, or the error that stood in its way.
template <typename T> class HistoryResult {
  public:
    HistoryResult(T value) : m_result(std::move(value)) {}
    HistoryResult(HistoryError error) : m_result(std::move(error)) {}

    bool ok() const { return m_result.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& operator*() { return std::get<0>(m_result); }
    const T& operator*() const { return std::get<0>(m_result); }
    T* operator->() { return &std::get<0>(m_result); }
    const T* operator->() const { return &std::get<0>(m_result); }
    const HistoryError& error() const { return std::get<1>(m_result); }

  private:
    std::variant<T, HistoryError> m_result;
};

// What an operation without a value returns: nothing when it went well.
using HistoryStatus = std::optional<HistoryError>;

} // namespace quill
