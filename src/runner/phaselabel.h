// SPDX-License-Identifier: MIT
#pragma once
// The main window's controls without a window: of what the download shows
// there, only the phase label's caption ("Erasing Flash ...") is worth a
// line; the progress comes from the trace, and the button and the status
// bar have nobody to show them to. The bar's maximum is kept, as the
// download reads it back.

#include "platform/mainformcontrols.h"

#include <string>

namespace quill {

class PhaseLabel : public MainFormControls {
  public:
    const std::string& caption() const { return m_caption; }

    void setLblMsgVisible(bool) override {}
    void setLblMsgCaption(const std::string& caption) final {
        if (caption != m_caption) {
            m_caption = caption;
            phaseChanged(m_caption);
        }
    }
    void setPrbVisible(bool) override {}
    void setPrbMin(float) override {}
    void setPrbMax(float value) override { m_max = value; }
    float prbMax() const override { return m_max; }
    void setPrbValue(float) override {}
    void setCmdStartEnabled(bool) override {}
    void cmdStartSetFocus() override {}
    void setPanelText(int, const std::string&) override {}
    void setPanelMinWidth(int, int) override {}

  protected:
    // A new caption, once each time it changes.
    virtual void phaseChanged(const std::string& caption) = 0;

  private:
    std::string m_caption;
    float m_max = 0;
};

} // namespace quill
