// SPDX-License-Identifier: MIT
#include "rfc2217/porturl.h"

#include <algorithm>
#include <charconv>

namespace quill::rfc2217 {
namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool hostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

} // namespace

bool isNetworkPortName(std::string_view name) {
    return name.size() >= urlScheme.size() &&
           std::equal(urlScheme.begin(), urlScheme.end(), name.begin(),
                      [](char scheme, char c) { return scheme == lower(c); });
}

std::optional<Endpoint> parsePortUrl(std::string_view name) {
    if (!isNetworkPortName(name)) {
        return std::nullopt;
    }
    const std::string_view authority = name.substr(urlScheme.size());
    const auto colon = authority.rfind(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view host = authority.substr(0, colon);
    const std::string_view port = authority.substr(colon + 1);
    bool hostOk = false;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        hostOk = std::all_of(host.begin(), host.end(), [](char c) {
            return c == ':' || c == '.' || (c >= '0' && c <= '9') ||
                   (lower(c) >= 'a' && lower(c) <= 'f');
        });
    } else {
        hostOk = !host.empty() && std::all_of(host.begin(), host.end(), hostCharacter);
    }
    unsigned value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    const bool portOk =
        error == std::errc{} && end == port.data() + port.size() && value >= 1 && value <= 65535;
    if (!hostOk || !portOk) {
        return std::nullopt;
    }
    return Endpoint{std::string(host), static_cast<uint16_t>(value), std::string(authority)};
}

} // namespace quill::rfc2217
