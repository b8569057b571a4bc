// SPDX-License-Identifier: MIT
#pragma once
// The main-window controls the core touches, as plain state.

#include "platform/mainformcontrols.h"

#include <map>
#include <vector>

namespace quill::sim {

struct FakeControls final : MainFormControls {
    bool lblMsgVisible = false;
    std::string lblMsgCaption = "Message";
    bool prbVisible = false;
    float prbMaxValue = 100;
    float prbValue = 0;
    std::vector<float> prbHistory; // every value set, in order
    bool cmdStartEnabled = false;
    int cmdStartFocus = 0;
    std::map<int, std::string> panelText;
    std::map<int, int> panelMinWidth;

    void setLblMsgVisible(bool visible) override { lblMsgVisible = visible; }
    void setLblMsgCaption(const std::string& caption) override { lblMsgCaption = caption; }
    void setPrbVisible(bool visible) override { prbVisible = visible; }
    void setPrbMin(float) override {}
    void setPrbMax(float value) override { prbMaxValue = value; }
    float prbMax() const override { return prbMaxValue; }
    void setPrbValue(float value) override {
        prbValue = value;
        prbHistory.push_back(value);
    }
    void setCmdStartEnabled(bool enabled) override { cmdStartEnabled = enabled; }
    void cmdStartSetFocus() override { ++cmdStartFocus; }
    void setPanelText(int panel, const std::string& text) override { panelText[panel] = text; }
    void setPanelMinWidth(int panel, int twips) override { panelMinWidth[panel] = twips; }
};

} // namespace quill::sim
