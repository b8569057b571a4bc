// SPDX-License-Identifier: MIT
#pragma once
// The per-user settings store, addressed by section and key under the
// application's name, holding texts.

#include "platform/fixedsettings.h"

#include <string>

namespace quill {

class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // The stored text, or empty text when there is none.
    virtual std::string GetSetting(const std::string& section, const std::string& key) const = 0;
    virtual void SaveSetting(const std::string& section, const std::string& key,
                             const std::string& value) = 0;
    // What the system's settings file fixes; none by default.
    virtual FixedSettings fixedSettings() const { return {}; }
};

} // namespace quill
