// SPDX-License-Identifier: MIT
// The "COM Setup" dialog's logic on the simulated serial port: what its
// buttons show, and what OK does to the port, the status bar and the store.

#include "fakesettings.h"
#include "port/comsetup.h"
#include "port/porttexts.h"
#include "port/startup.h"
#include "shared/sharedtexts.h"
#include "simworld.h"

#include <gtest/gtest.h>

namespace quill::sim {
namespace {

using Texts = std::vector<std::string>;
const std::string portInvalid = "Current com port selection is not valid";
const std::string baudInvalid = "Current baud rate selection is not valid";

// The buttons COM1 to COM4, 9600 and 38400: caption, "-" if disabled, "*" if selected.
struct FakeView final : ComSetupView {
    Texts buttons = Texts(6);
    void show(size_t at, const std::string& caption, bool enabled, bool selected) {
        buttons.at(at) = caption + (enabled ? "" : "-") + (selected ? "*" : "");
    }
    void setPortButton(int i, const std::string& c, bool e, bool s) override { show(i, c, e, s); }
    void setBaudButton(int i, const std::string& c, bool e, bool s) override {
        show(4 + i, c, e, s);
    }
};

// COM1, COM2 and COM4 were found at start-up, COM4 has since been taken by
// another program; the window's load set the port panel.
struct Rig {
    Rig() {
        world.m.port_present = {false, true, true, false, true};
        world.port.busy.insert(4);
        world.form.panelText[1] = text::ComNotSet;
    }
    // The port as an earlier OK left it: COM1 at 9600, Manual, open.
    void openCom1() {
        world.setUpPort(9600, device_manual, 1);
        world.form.panelText[1] = "COM1 9600  ";
    }
    Texts load() {
        FakeView view;
        setup.Form_Load(view);
        return view.buttons;
    }
    // Presses OK with these values; the boxes shown.
    Texts ok(int16_t com, int32_t baud) {
        world.m.com_port = com;
        world.m.baud_rate = baud;
        setup.cmdOK_Click();
        return world.boxes.texts();
    }
    std::string port() const {
        return "COM" + std::to_string(world.port.commPort()) +
               (world.port.portOpen() ? " open " : " closed ") + world.port.settings();
    }
    std::string& panel() { return world.form.panelText[1]; }

    SimWorld world;
    FakeSettings store;
    ComSetup setup{world.m, world.port, world.boxes, store, world.form};
};

TEST(ComSetup, ClicksChangeOnlyTheValuesAndOkReopensAtTheDevicesParityAndStores) {
    Rig r;
    EXPECT_EQ(r.load(), (Texts{"COM1", "COM2", "COM3-", "COM4", "9600", "38400"})); // first run
    r.world.m.com_port = 3; // stored, but absent on this run
    EXPECT_EQ(r.load(), (Texts{"COM1", "COM2", "COM3-*", "COM4", "9600", "38400"}));
    r.openCom1();
    EXPECT_EQ(r.load(), (Texts{"COM1*", "COM2", "COM3-", "COM4", "9600*", "38400"}));
    r.setup.optPort_Click(1);
    r.setup.optBaud_Click(1);
    // Until OK (and after Cancel) only the two values have changed.
    EXPECT_EQ(r.load(), (Texts{"COM1", "COM2*", "COM3-", "COM4", "9600", "38400*"}));
    EXPECT_EQ(r.port(), "COM1 open 9600,M,8,1");
    EXPECT_EQ(r.panel(), "COM1 9600  ");
    EXPECT_TRUE(r.store.saves.empty());

    r.setup.cmdOK_Click();
    EXPECT_TRUE(r.world.boxes.shown().empty());
    EXPECT_EQ(r.world.port.opens, 2); // closed and opened again
    EXPECT_EQ(r.port(), "COM2 open 38400,M,8,1");
    EXPECT_EQ(r.panel(), "COM2 38400  ");
    EXPECT_EQ(r.store.saves,
              (std::vector<SavedSetting>{{"Port", "COM", "2"}, {"Port", "BAUD", "38400"}}));

    r.world.m.device_type = device_tracker;
    EXPECT_TRUE(r.ok(1, 38400).empty());
    EXPECT_EQ(r.port(), "COM1 open 38400,E,8,1");
    r.world.m.device_type = 2; // options 2 and 3 build no text: the last one stays
    EXPECT_TRUE(r.ok(1, 9600).empty());
    EXPECT_EQ(r.port(), "COM1 open 38400,E,8,1");
    EXPECT_EQ(r.panel(), "COM1 9600  ");
}

// A refused OK stores nothing and opens nothing; the panel names the old port
// while it stays open, "COM not set" once it is closed. Option 2 keeps the
// last line settings, here bad ones.
TEST(ComSetup, RefusedOkReportsEachCause) {
    const std::string taken =
        std::string(text::SetupOpenFailed) + "\rCOM4 (sim) is used by another program.";
    const std::string bad =
        std::string(text::SetupSettingsFailed) + "\rBad line settings \"9600,X,8,1\".";
    // COM1 open before, com_port, baud_rate, device_type; the boxes and the port after
    const std::tuple<bool, int16_t, int32_t, int16_t, Texts, const char*> cases[] = {
        {false, 0, 0, 0, {portInvalid, baudInvalid}, "COM1 closed 9600,N,8,1"},
        {false, 3, 9600, 0, {portInvalid}, "COM1 closed 9600,M,8,1"},
        {true, 0, 38400, 0, {portInvalid}, "COM1 open 38400,M,8,1"},
        {true, 2, 4800, 0, {baudInvalid}, "COM2 closed 9600,M,8,1"},
        {true, 4, 9600, 0, {taken}, "COM4 closed 9600,M,8,1"},
        {false, 2, 9600, 2, {bad}, "COM2 closed 9600,N,8,1"},
    };
    for (const auto& [com1Open, com, baud, device, boxes, port] : cases) {
        SCOPED_TRACE(testing::Message() << com << " " << baud);
        Rig r;
        if (com1Open) {
            r.openCom1();
        }
        r.world.m.device_type = device;
        r.world.m.com_settings = "9600,X,8,1";
        EXPECT_EQ(r.ok(com, baud), boxes);
        EXPECT_EQ(r.port(), port);
        EXPECT_EQ(r.panel(), r.world.port.portOpen() ? "COM1 9600  " : "COM not set   ");
        EXPECT_EQ(r.world.port.opens, com1Open ? 1 : 0); // none by OK
        EXPECT_TRUE(r.store.saves.empty());
        // What the boxes say must still hold when the program is left now:
        // the unload stores a usable port and baud rate, chosen or not.
        save_settings(r.world.m, r.store);
        for (const std::string& box : r.world.boxes.texts()) {
            EXPECT_TRUE(r.store.saves.empty() || box.find("not stored") == std::string::npos)
                << box;
        }
    }
}

} // namespace
} // namespace quill::sim
