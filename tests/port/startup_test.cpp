// Start-up and the settings: how stored texts and the command line become
// com_port, baud_rate and device_type, the device menu, and what is stored
// when the main window closes.

#include "fakesettings.h"
#include "port/portcontrol.h"
#include "port/porttexts.h"
#include "port/startup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quill::sim {
namespace {

struct IntCase {
    const char* text;
    int32_t com;
    int32_t baud;
};

TEST(SettingConversion, ComAndBaudTakeOnlyPlainIntegersThatFit) {
    const IntCase cases[] = {
        {"", 0, 0},
        {"3", 3, 3},
        {"38400", 0, 38400}, // too wide for the port's 16 bits
        {"9600", 9600, 9600},
        {"-1", -1, -1}, // kept as read; consumers check validity
        {"32767", 32767, 32767},
        {"32768", 0, 32768},
        {"2147483647", 0, 2147483647},
        {"2147483648", 0, 0},
        {"65538", 0, 65538}, // must not wrap to 2
        {"2x", 0, 0},
        {" 2", 0, 0},
        {"2 ", 0, 0},
        {"2.0", 0, 0},
        {"+2", 0, 0},
        {"&H2", 0, 0},
        {"-", 0, 0},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(com_from_setting(c.text), c.com);
        EXPECT_EQ(baud_from_setting(c.text), c.baud);
    }
}

TEST(SettingConversion, DeviceTakesTheLeadingNumberRoundedHalfToEven) {
    const std::pair<const char*, int16_t> cases[] = {
        {"", 0},    {"0", 0},     {"1", 1},     {"2", 2},     {"3", 3},      {"7", 0},
        {"-1", 0},  {"x", 0},     {"x1", 0},    {"1abc", 1},  {" 1 ", 1},    {"2.5", 2},
        {"3.5", 0}, {"1.5", 2},   {"0.5", 0},   {"-0.4", 0},  {"2.49", 2},   {"&H3", 3},
        {"1e0", 1}, {"65537", 0}, {"70000", 0}, {"1e999", 0}, {"-1e999", 0}, {"3\r", 3},
    };
    for (const auto& [text, device] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(device_from_setting(text), device);
    }
}

TEST(ReadNumber, ReadsLikeTheCommandLineOption) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<const char*, double> cases[] = {
        {"", 0},        {"2", 2},           {"  2", 2},
        {"1 2", 12},    {"\t1\n2", 12},     {"1\r2", 1},
        {"-3", -3},     {"+4", 4},          {"- 4", -4},
        {"2.5", 2.5},   {".5", 0.5},        {"5.", 5},
        {"1.2.3", 1.2}, {"1e3", 1000},      {"1E+2", 100},
        {"25e-1", 2.5}, {"1D2", 100},       {"1e", 1},
        {"1e+", 1},     {"1ex", 1},         {"3/p2", 3},
        {"&H1F", 31},   {"&h1f", 31},       {"& H 1 0", 16},
        {"&O17", 15},   {"&o8", 0},         {"&H", 0},
        {"&X1", 0},     {"&1", 0},          {"x", 0},
        {"-", 0},       {".", 0},           {"e5", 0},
        {"1e999", inf}, {"-1e999", -inf},   {"1e-999", 0},
        {"0e99999", 0}, {"0.0001e-400", 0}, {"1e99999999999999999999", inf},
    };
    for (const auto& [text, value] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(read_number(text), value);
    }
}

struct CmdCase {
    const char* cmdstr;
    int16_t port;
};

class ProcessCmd : public ::testing::Test {
  protected:
    void SetUp() override {
        m.port_present[1] = m.port_present[2] = m.port_present[3] = true; // COM4 absent
    }
    Module1 m;
};

TEST_F(ProcessCmd, SelectsOnlyPresentPortsAfterTheFirstSlashP) {
    const CmdCase cases[] = {
        {"", 0},         {"/p2", 2},        {"/P 2", 2},   {"/P2", 2},   {"/p3", 3},
        {"/p7", 0},      {"/p0", 0},        {"/p-2", 0},   {"/px", 0},   {"-p1", 0},
        {"/p1 /p2", 1},  {"/p2.5", 2},      {"/p1.5", 2},  {"/p3.5", 0}, {"/p4", 0},
        {"/p", 0},       {"fw.hex /p2", 2}, {"/p 2 3", 0}, {"/p2\r", 2}, {"/p65538", 0},
        {"/p-65534", 0}, {"/p1e999", 0},    {"/p&H2", 2},  {"/p+3", 3},  {"x/p/p2", 0},
        {"/p2e0", 2},    {"p2", 0},         {"/ p2", 0},
    };
    for (const CmdCase& c : cases) {
        SCOPED_TRACE(c.cmdstr);
        m.com_port = 0;
        process_cmd(m, c.cmdstr);
        EXPECT_EQ(m.com_port, c.port);
    }
}

TEST_F(ProcessCmd, KeepsTheStoredPortWhenTheOptionIsUnusable) {
    m.com_port = 3;
    process_cmd(m, "/p4");
    EXPECT_EQ(m.com_port, 3);
    m.port_present[4] = true;
    process_cmd(m, "/p3.5");
    EXPECT_EQ(m.com_port, 4);
}

struct FakeMenu final : DeviceMenu {
    bool manual = false;
    bool tracker = false;
    void setManualChecked(bool checked) override { manual = checked; }
    void setTrackerChecked(bool checked) override { tracker = checked; }
};

TEST(SetDevice, ChecksTheItemOfTheValueAndRefusesInvalidOnes) {
    struct Case {
        int16_t before;
        int32_t value;
        int16_t after;
        bool manual;
        bool tracker;
    };
    const Case cases[] = {
        {1, 0, 0, true, false},      {0, 1, 1, false, true},  {0, 2, 2, false, false},
        {1, 3, 3, false, false},     {1, 4, 1, false, false}, {1, -1, 1, false, false},
        {0, 65536, 0, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Module1 m;
        m.device_type = c.before;
        FakeMenu menu;
        menu.manual = menu.tracker = true; // both cleared first, whatever follows
        set_device(m, menu, c.value);
        EXPECT_EQ(m.device_type, c.after);
        EXPECT_EQ(menu.manual, c.manual);
        EXPECT_EQ(menu.tracker, c.tracker);
    }
}

TEST(Settings, ReadsPortBaudAndDeviceFromTheirSections) {
    FakeSettings store;
    Module1 m;
    m.com_port = 4;
    m.baud_rate = 9600;
    m.device_type = 1;
    read_settings(m, store); // first run: nothing stored
    EXPECT_EQ(m.com_port, 0);
    EXPECT_EQ(m.baud_rate, 0);
    EXPECT_EQ(m.device_type, 0);

    store.values[{"Port", "COM"}] = "2";
    store.values[{"Port", "BAUD"}] = "38400";
    store.values[{"Option", "DEVICE"}] = "1";
    store.values[{"Option", "COM"}] = "3"; // wrong section: not read
    read_settings(m, store);
    EXPECT_EQ(m.com_port, 2);
    EXPECT_EQ(m.baud_rate, 38400);
    EXPECT_EQ(m.device_type, 1);
}

TEST(Settings, SavesPortAndBaudEachOnlyWhenUsable) {
    Module1 m;
    m.port_present[3] = true;
    m.com_port = 3;
    m.baud_rate = 38400;
    FakeSettings store;
    save_settings(m, store);
    EXPECT_EQ(store.saves,
              (std::vector<SavedSetting>{{"Port", "COM", "3"}, {"Port", "BAUD", "38400"}}));

    m.port_present[3] = false; // COM3 absent on this run
    store.saves.clear();
    save_settings(m, store);
    EXPECT_EQ(store.saves, (std::vector<SavedSetting>{{"Port", "BAUD", "38400"}}));

    m.port_present[3] = true;
    m.baud_rate = 4800;
    store.saves.clear();
    save_settings(m, store);
    EXPECT_EQ(store.saves, (std::vector<SavedSetting>{{"Port", "COM", "3"}}));
}

} // namespace
} // namespace quill::sim
