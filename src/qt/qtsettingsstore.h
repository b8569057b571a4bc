// SPDX-License-Identifier: MIT
#pragma once
// The per-user settings store over QSettings: sections are groups, values
// are UTF-8 texts. Over it lies the machine's own settings file, which
// fixes every key it holds (platform/fixedsettings.h).

#include "platform/settingsstore.h"

#include <QSettings>

namespace quill {

class QtSettingsStore final : public SettingsStore {
  public:
    // The user's store under the application's name (the executable's file
    // name without extension): an ini file on Linux, the registry on Windows.
    // Where is the system's choice, so each system's file says it; so is
    // where the system's own file is (systemSettingsFile).
    QtSettingsStore();
    // A store in the given ini file (tests, a scratch settings folder),
    // under the given system file, or none.
    explicit QtSettingsStore(const std::string& iniFilePath, const std::string& systemFile = {});
    QtSettingsStore(const QtSettingsStore&) = delete;
    QtSettingsStore& operator=(const QtSettingsStore&) = delete;

    std::string GetSetting(const std::string& section, const std::string& key) const override;
    // A key the system file fixes is not written: the system's value holds.
    void SaveSetting(const std::string& section, const std::string& key,
                     const std::string& value) override;
    FixedSettings fixedSettings() const override;

  private:
    mutable QSettings m_settings;
    FixedSettings m_fixed;  // as read when the store was made; `overridden` is asked anew
    bool m_refused = false; // the file is a link: said once
};

// The machine's settings file of the application `name`: on Unix the first
// folder of XDG_CONFIG_DIRS (colon-separated) that holds name/name.ini,
// else /etc/xdg/name/name.ini; on Windows %ProgramData%\name\name.ini;
// whether it is there or not.
std::string systemSettingsFile(const std::string& name);
// What `file` fixes; nothing when it is not there.
FixedSettings readFixedSettings(const std::string& file);

} // namespace quill
