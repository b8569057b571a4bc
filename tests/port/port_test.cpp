// SPDX-License-Identifier: MIT
// Start-up and the settings: how stored texts and the command line become
// com_port, baud_rate and device_type, the device menu, and what is stored
// when the main window closes; and the "COM Setup" dialog's logic on the
// simulated serial port: what its buttons show, and what OK does to the
// port, the status bar and the store.

#include "fakesettings.h"
#include "port/comsetup.h"
#include "port/portcontrol.h"
#include "port/porttexts.h"
#include "port/startup.h"
#include "shared/sharedtexts.h"
#include "simworld.h"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

namespace quill::sim {
namespace {

// "COM" and "BAUD" take only plain integers that fit, kept as read, usable or
// not; "DEVICE" takes the leading number, rounded half to even, if it is an option.
TEST(SettingConversion, FromTheStoredTexts) {
    const std::tuple<const char*, int16_t, int32_t, int16_t> cases[] = {
        {"", 0, 0, 0},          {"3", 3, 3, 3},         {"7", 7, 7, 0},          {"-1", -1, -1, 0},
        {"38400", 0, 38400, 0}, {"65537", 0, 65537, 0}, {"2147483648", 0, 0, 0}, {"2x", 0, 0, 2},
        {" 2", 0, 0, 2},        {"2.0", 0, 0, 2},       {"+2", 0, 0, 2},         {"&H2", 0, 0, 2},
        {"2.5", 0, 0, 2},       {"1.5", 0, 0, 2},       {"3.5", 0, 0, 0},        {"1e999", 0, 0, 0},
    };
    for (const auto& [text, com, baud, device] : cases) {
        EXPECT_EQ(
            std::tuple(com_from_setting(text), baud_from_setting(text), device_from_setting(text)),
            std::tuple(com, baud, device))
            << text;
    }
}

TEST(ReadNumber, ReadsLikeTheCommandLineOption) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<const char*, double> cases[] = {
        {"  2", 2},  {"\t1\n2", 12},   {"1\r2", 1},    {"- 4", -4},    {"+4", 4},
        {".5", 0.5}, {"1.2.3", 1.2},   {"25e-1", 2.5}, {"1D2", 100},   {"1ex", 1},
        {"3/p2", 3}, {"& h 1f", 31},   {"&O17", 15},   {"&o8", 0},     {"&X1", 0},
        {"e5", 0},   {"-1e999", -inf}, {"1e-999", 0},  {"0e99999", 0}, {"0.0001e-400", 0},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(read_number(text), value) << text;
    }
    EXPECT_EQ(read_number("1e99999999999999999999"), inf); // the exponent must not overflow
}

// COM3 is absent on this run; -1 stands for a stored number that is no port.
TEST(ProcessCmd, SelectsOnlyPresentPortsAfterTheFirstSlashP) {
    Module1 m;
    m.port_present[1] = m.port_present[2] = m.port_present[4] = true;
    const std::pair<const char*, int16_t> cases[] = {
        {"", -1},           {"/p2", 2},      {"/P 2", 2},      {"/p3", -1},     {"/p7", -1},
        {"/p0", -1},        {"/px", -1},     {"-p1", -1},      {"p2", -1},      {"/ p2", -1},
        {"/p1 /p2", 1},     {"/p2.5", 2},    {"/p1.5", 2},     {"/p3.5", 4},    {"/p", -1},
        {"a.hex /p2\r", 2}, {"/p65538", -1}, {"/p-65534", -1}, {"/p1e999", -1}, {"/p&H4", 4},
    };
    for (const auto& [cmdstr, port] : cases) {
        SCOPED_TRACE(cmdstr);
        m.com_port = -1;
        process_cmd(m, cmdstr);
        EXPECT_EQ(m.com_port, port);
    }
}

// COM1, COM3 and COM4 exist, COM3 is held by another program: each of the
// four is tried, and the port is left closed on COM4.
TEST(ProbePorts, MarksThePortsThatOpenAndOnlyThoseAreValid) {
    SimWorld world;
    world.port.present = {1, 3, 4, 5};
    world.port.busy = {3};
    probe_ports(world.m, world.port);
    EXPECT_EQ(world.m.port_present, (std::array<bool, 17>{false, true, false, false, true}));
    EXPECT_EQ(world.port.commPort(), 4);
    EXPECT_FALSE(world.port.portOpen());
    for (const int32_t port : {-1, 0, 1, 2, 3, 4, 5}) {
        EXPECT_EQ(is_valid_port(world.m, port), port == 1 || port == 4) << port;
    }
}

struct FakeMenu final : DeviceMenu {
    bool manual = true, tracker = true; // both cleared first, whatever follows
    void setManualChecked(bool checked) override { manual = checked; }
    void setTrackerChecked(bool checked) override { tracker = checked; }
};

TEST(SetDevice, ChecksTheItemOfTheValueAndRefusesInvalidOnes) {
    Module1 m;
    // In this order: the value, then device_type and the two check marks.
    const std::tuple<int32_t, int16_t, bool, bool> cases[] = {
        {1, 1, false, true},  {0, 0, true, false},   {2, 2, false, false},     {3, 3, false, false},
        {4, 3, false, false}, {-1, 3, false, false}, {65536, 3, false, false},
    };
    for (const auto& [value, device, manual, tracker] : cases) {
        SCOPED_TRACE(value);
        FakeMenu menu;
        set_device(m, menu, value);
        EXPECT_EQ(std::tuple(m.device_type, menu.manual, menu.tracker),
                  std::tuple(device, manual, tracker));
    }
}

TEST(Settings, ReadFromTheirSectionsAndSavedEachOnlyWhenUsable) {
    FakeSettings store;
    store.values = {{{"Port", "COM"}, "2"},
                    {{"Port", "BAUD"}, "38400"},
                    {{"Option", "DEVICE"}, "1"},
                    {{"Option", "COM"}, "3"}}; // wrong section: not read
    Module1 m;
    read_settings(m, store);
    EXPECT_EQ(std::tuple(m.com_port, m.baud_rate, m.device_type), std::tuple(2, 38400, 1));

    m.port_present[2] = true;
    save_settings(m, store);
    m.port_present[2] = false; // COM2 absent on this run
    save_settings(m, store);
    m.port_present[2] = true;
    m.baud_rate = 4800;
    save_settings(m, store);
    const SavedSetting com{"Port", "COM", "2"}, baud{"Port", "BAUD", "38400"};
    EXPECT_EQ(store.saves, (std::vector<SavedSetting>{com, baud, baud, com}));
}

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
    }
}

} // namespace
} // namespace quill::sim
