// SPDX-License-Identifier: MIT
#pragma once
// The per-user settings store over QSettings: sections are groups, values
// are UTF-8 texts.

#include "platform/settingsstore.h"

#include <QSettings>

namespace quill {

class QtSettingsStore final : public SettingsStore {
  public:
    // The user's store under the application's name (the executable's file
    // name without extension): an ini file on Linux, the registry on Windows.
    // Where is the system's choice, so each system's file says it.
    QtSettingsStore();
    // A store in the given ini file (tests, a scratch settings folder).
    explicit QtSettingsStore(const std::string& iniFilePath);
    QtSettingsStore(const QtSettingsStore&) = delete;
    QtSettingsStore& operator=(const QtSettingsStore&) = delete;

    std::string GetSetting(const std::string& section, const std::string& key) const override;
    void SaveSetting(const std::string& section, const std::string& key,
                     const std::string& value) override;

  private:
    mutable QSettings m_settings;
    bool m_refused = false; // the file is a link: said once
};

} // namespace quill
