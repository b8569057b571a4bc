// SPDX-License-Identifier: MIT
#pragma once
// The Open dialog CommonDialog1 over QFileDialog.

#include "platform/filedialog.h"

#include <QStringList>

namespace quill {

class QtFileDialog final : public FileDialog {
  public:
    void setFilter(const std::string& filter) override;
    void setFilterIndex(int index) override { m_filterIndex = index; }
    void setFlags(int flags) override { m_flags = flags; }
    // The path as the portable code opens it: UTF-8 (shared/filepath.h).
    std::optional<std::string> ShowOpen() override;

    // "desc|pattern|desc|pattern" as Qt's name filters "desc (patterns)",
    // shown with their details hidden; "*.*" becomes "*".
    static QStringList nameFilters(const std::string& filter);

  private:
    QStringList m_filters;
    int m_filterIndex = 1;
    int m_flags = 0;
};

} // namespace quill
