// SPDX-License-Identifier: MIT
#pragma once
// The controls of the main window that the download and the file choice
// touch: the phase label lblMsg, the progress bar prbFilePos, the button
// cmdStart and the status bar sbStatus.

#include <string>

namespace quill {

class MainFormControls {
  public:
    virtual ~MainFormControls() = default;

    virtual void setLblMsgVisible(bool visible) = 0;
    virtual void setLblMsgCaption(const std::string& caption) = 0;

    // The progress bar must accept a maximum of 0 and a value above the
    // maximum (shown full).
    virtual void setPrbVisible(bool visible) = 0;
    virtual void setPrbMin(float value) = 0;
    virtual void setPrbMax(float value) = 0;
    virtual float prbMax() const = 0;
    virtual void setPrbValue(float value) = 0;

    virtual void setCmdStartEnabled(bool enabled) = 0;
    virtual void cmdStartSetFocus() = 0;

    // Panels are numbered from 1: 1 the port, 2 the file. A panel follows
    // its text and is never narrower than its minimum width (in twips).
    virtual void setPanelText(int panel, const std::string& text) = 0;
    virtual void setPanelMinWidth(int panel, int twips) = 0;
};

} // namespace quill
