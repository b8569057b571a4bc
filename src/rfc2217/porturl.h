// SPDX-License-Identifier: MIT
#pragma once
// A serial port on the network is named by a URL, rfc2217://HOST:PORT:
// never by a bare host, so that a typing slip cannot send a device's
// conversation to some other service.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quill::rfc2217 {

inline constexpr std::string_view urlScheme = "rfc2217://";

struct Endpoint {
    std::string host;      // without the brackets of an IPv6 address
    uint16_t port = 0;     // 1 to 65535
    std::string authority; // HOST:PORT as the user wrote it

    bool operator==(const Endpoint&) const = default;
};

// True for a name in the URL's scheme, well formed or not.
bool isNetworkPortName(std::string_view name);

// HOST:PORT after the scheme and nothing else: no user, path, query or
// blank; an IPv6 address in brackets. Empty when the name is not such a URL.
std::optional<Endpoint> parsePortUrl(std::string_view name);

} // namespace quill::rfc2217
