// SPDX-License-Identifier: MIT
// The stored settings and the command line from any text: no crash, and
// the results stay in the ranges the conversions promise. "COM" and "BAUD"
// are the stored decimal number or 0; "DEVICE" is 0 to 3; "/p" changes the
// port only to a present port 1 to 4, and only when the option is there.

#include "fakesettings.h"
#include "fuzzcheck.h"
#include "port/startup.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace quill::fuzz {
namespace {

// An optional minus sign and decimal digits, nothing else, that fit Int:
// their value; anything else: 0.
template <typename Int> Int storedNumber(const std::string& text) {
    const size_t digitsAt = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() == digitsAt ||
        text.find_first_not_of("0123456789", digitsAt) != std::string::npos) {
        return 0;
    }
    errno = 0;
    const long long value = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value < std::numeric_limits<Int>::min() ||
        value > std::numeric_limits<Int>::max()) {
        return 0;
    }
    return static_cast<Int>(value);
}

bool hasPortOption(const std::string& cmdline) {
    for (size_t i = 0; i + 1 < cmdline.size(); ++i) {
        if (cmdline[i] == '/' && (cmdline[i + 1] == 'p' || cmdline[i + 1] == 'P')) {
            return true;
        }
    }
    return false;
}

void storedSettings(FuzzedDataProvider& in) {
    sim::FakeSettings store;
    const std::string com = in.ConsumeRandomLengthString(32);
    const std::string baud = in.ConsumeRandomLengthString(32);
    const std::string device = in.ConsumeRandomLengthString(64);
    store.values[{"Port", "COM"}] = com;
    store.values[{"Port", "BAUD"}] = baud;
    store.values[{"Option", "DEVICE"}] = device;
    Module1 m;
    read_settings(m, store);
    require(m.com_port == storedNumber<int16_t>(com), "COM is the stored number or 0");
    require(m.baud_rate == storedNumber<int32_t>(baud), "BAUD is the stored number or 0");
    require(m.device_type >= 0 && m.device_type <= 3, "DEVICE is 0 to 3");
    if (device.size() == 1 && device[0] >= '0' && device[0] <= '3') {
        require(m.device_type == device[0] - '0', "a stored device option 0 to 3 is taken");
    }
}

void commandLine(FuzzedDataProvider& in) {
    Module1 m;
    for (int16_t port = 1; port <= 4; ++port) {
        m.port_present[static_cast<size_t>(port)] = in.ConsumeBool();
    }
    m.com_port = in.ConsumeIntegral<int16_t>();
    const int16_t before = m.com_port;
    const std::string cmdline = in.ConsumeRemainingBytesAsString();
    require(!std::isnan(read_number(cmdline)), "a number is read from any text");
    process_cmd(m, cmdline);
    if (m.com_port != before) {
        require(hasPortOption(cmdline), "the port changes only through /p");
        require(m.com_port >= 1 && m.com_port <= 4 &&
                    m.port_present[static_cast<size_t>(m.com_port)],
                "/p selects only a present port 1 to 4");
    }
}

} // namespace
} // namespace quill::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool()) {
        quill::fuzz::storedSettings(in);
    } else {
        quill::fuzz::commandLine(in);
    }
    return 0;
}
