// SPDX-License-Identifier: MIT
#pragma once
// What the machine's own settings file fixes for every user of it: each
// key it holds is read from it, whatever the user's own file says. Root
// writes that file; a station's operator cannot.

#include <string>
#include <vector>

namespace quill {

struct FixedSetting {
    std::string section, key, value;
};

struct FixedSettings {
    std::string file;                     // the system file looked at (or for)
    bool unreadable = false;              // it is there, but could not be read
    std::vector<FixedSetting> values;     // what it fixes
    std::vector<FixedSetting> overridden; // the user's own file holds another value (its value)

    const std::string* find(const std::string& section, const std::string& key) const {
        for (const FixedSetting& s : values) {
            if (s.section == section && s.key == key) {
                return &s.value;
            }
        }
        return nullptr;
    }
};

} // namespace quill
