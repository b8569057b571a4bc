// SPDX-License-Identifier: MIT
#pragma once
// The per-user settings store as a map, with every write kept in order.

#include "platform/settingsstore.h"

#include <array>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quill::sim {

using SavedSetting = std::array<std::string, 3>; // section, key, value

class FakeSettings final : public SettingsStore {
  public:
    std::string GetSetting(const std::string& section, const std::string& key) const override {
        const auto it = values.find({section, key});
        return it == values.end() ? std::string() : it->second;
    }
    void SaveSetting(const std::string& section, const std::string& key,
                     const std::string& value) override {
        values[{section, key}] = value;
        saves.push_back({section, key, value});
    }

    std::map<std::pair<std::string, std::string>, std::string> values;
    std::vector<SavedSetting> saves;
};

} // namespace quill::sim
