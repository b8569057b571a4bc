// SPDX-License-Identifier: MIT
#include "port/startup.h"

#include "port/portcontrol.h"
#include "port/porttexts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace quill {

namespace {

// Text the system itself wrote: an optional minus sign and decimal digits,
// nothing else. Anything else, and a number that does not fit, counts as
// not set. (A hand-edited store is the only way to get there.)
template <typename Int> Int plain_integer(std::string_view text) {
    Int value{};
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end) {
        return 0;
    }
    return value;
}

double round_half_even(double value) {
    double rounded = std::round(value); // halves away from zero
    if (std::fabs(rounded - value) == 0.5) {
        rounded = 2.0 * std::round(value / 2.0);
    }
    return rounded;
}

// The nearest integer, halves to the even neighbour, if it is a 16-bit one.
std::optional<int16_t> to_int16(double value) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    const double rounded = round_half_even(value);
    if (rounded < std::numeric_limits<int16_t>::min() ||
        rounded > std::numeric_limits<int16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int16_t>(rounded);
}

bool is_digit(char ch) {
    return ch >= '0' && ch <= '9';
}

int hex_digit(char ch) {
    if (is_digit(ch)) {
        return ch - '0';
    }
    if (ch >= 'A' && ch <= 'F') {
        return ch - 'A' + 10;
    }
    if (ch >= 'a' && ch <= 'f') {
        return ch - 'a' + 10;
    }
    return -1;
}

// "&H1F" or "&O17", after the "&": the digits of that base; no digits give 0.
double read_based(std::string_view s) {
    const bool hex = s[0] == 'H' || s[0] == 'h';
    const int base = hex ? 16 : 8;
    double value = 0;
    for (size_t i = 1; i < s.size(); ++i) {
        const int digit = hex_digit(s[i]);
        if (digit < 0 || digit >= base) {
            break;
        }
        value = value * base + digit;
    }
    return value;
}

// Sign, digits, fraction, exponent (E, or D as in double-precision
// literals); reading stops at the first character that cannot continue.
double read_decimal(std::string_view s) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    std::string mantissa;
    bool anyDigit = false;
    bool nonZero = false;
    long intDigits = 0;        // significant digits before the point
    long leadingFracZeros = 0; // zeros after the point before the first other digit
    for (; i < s.size() && is_digit(s[i]); ++i) {
        anyDigit = true;
        nonZero = nonZero || s[i] != '0';
        intDigits += nonZero ? 1 : 0;
        mantissa += s[i];
    }
    if (i < s.size() && s[i] == '.') {
        mantissa += '.';
        for (++i; i < s.size() && is_digit(s[i]); ++i) {
            anyDigit = true;
            nonZero = nonZero || s[i] != '0';
            leadingFracZeros += nonZero ? 0 : 1;
            mantissa += s[i];
        }
    }
    if (!anyDigit) {
        return 0;
    }
    // The exponent is clamped: far beyond the range of a double either way.
    long exponent = 0;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        size_t j = i + 1;
        bool expNegative = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            expNegative = s[j] == '-';
            ++j;
        }
        for (; j < s.size() && is_digit(s[j]); ++j) {
            exponent = std::min(exponent * 10 + (s[j] - '0'), 100000L);
        }
        exponent = expNegative ? -exponent : exponent;
    }
    double value = 0;
    if (nonZero) {
        const std::string number = mantissa + "e" + std::to_string(exponent);
        const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (ec == std::errc::result_out_of_range) {
            // Too large or too small for a double: the position of the first
            // significant digit says which.
            const long magnitude =
                intDigits > 0 ? intDigits + exponent : exponent - leadingFracZeros;
            value = magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
        } else if (ec != std::errc{}) {
            value = 0;
        }
    }
    return negative ? -value : value;
}

} // namespace

int16_t com_from_setting(std::string_view text) {
    return plain_integer<int16_t>(text);
}

int32_t baud_from_setting(std::string_view text) {
    return plain_integer<int32_t>(text);
}

// The leading number as the command line reads it, rounded; 0 when it is no
// usable device option.
int16_t device_from_setting(std::string_view text) {
    const std::optional<int16_t> value = to_int16(read_number(text));
    if (!value || !is_valid_device(*value)) {
        return 0;
    }
    return *value;
}

void read_settings(Module1& m, const SettingsStore& store) {
    m.com_port = com_from_setting(store.GetSetting(text::SectionPort, text::KeyCom));
    m.baud_rate = baud_from_setting(store.GetSetting(text::SectionPort, text::KeyBaud));
    m.device_type = device_from_setting(store.GetSetting(text::SectionOption, text::KeyDevice));
}

void save_settings(const Module1& m, SettingsStore& store) {
    if (is_valid_port(m, m.com_port)) {
        store.SaveSetting(text::SectionPort, text::KeyCom, std::to_string(m.com_port));
    }
    if (is_valid_baud(m.baud_rate)) {
        store.SaveSetting(text::SectionPort, text::KeyBaud, std::to_string(m.baud_rate));
    }
}

void set_device(Module1& m, DeviceMenu& menu, int32_t value) {
    menu.setManualChecked(false);
    menu.setTrackerChecked(false);
    if (!is_valid_device(value)) {
        return;
    }
    m.device_type = static_cast<int16_t>(value);
    if (value == device_manual) {
        menu.setManualChecked(true);
    } else if (value == device_tracker) {
        menu.setTrackerChecked(true);
    }
}

double read_number(std::string_view text) {
    // Blanks, tabs and line feeds do not count anywhere, not even between digits.
    std::string s;
    for (const char ch : text) {
        if (ch != ' ' && ch != '\t' && ch != '\n') {
            s += ch;
        }
    }
    if (s.size() >= 2 && s[0] == '&' &&
        (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
        return read_based(std::string_view(s).substr(1));
    }
    return read_decimal(s);
}

void process_cmd(Module1& m, const std::string& cmdstr) {
    const std::string_view option = text::PortOption;
    size_t found = std::string::npos;
    for (size_t i = 0; i + 1 < cmdstr.size(); ++i) {
        if (cmdstr[i] == option[0] && (cmdstr[i + 1] == 'p' || cmdstr[i + 1] == 'P')) {
            found = i;
            break;
        }
    }
    if (found == std::string::npos) {
        return;
    }
    // A number beyond the 16-bit range is no port number: ignored like any other.
    const std::optional<int16_t> port =
        to_int16(read_number(std::string_view(cmdstr).substr(found + option.size())));
    if (port && is_valid_port(m, *port)) {
        m.com_port = *port;
    }
}

} // namespace quill
