// SPDX-License-Identifier: MIT
// The "Devices" dialog's logic: what each COM offers, which entry shows the
// stored binding, what OK stores (a detected adapter by its stable path),
// and the ports tried again afterwards.

#include "fakesettings.h"
#include "port/devicebindings.h"
#include "simworld.h"

#include <gtest/gtest.h>

namespace quill::sim {
namespace {

const std::string ftdiById = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

std::vector<DetectedPort> detected() {
    DetectedPort ftdi{"/dev/ttyUSB0", ftdiById, "FT232R USB UART", "FTDI", "A50285BI",
                      0x0403,         0x6001};
    DetectedPort onboard{"/dev/ttyS0", "", "", "", "", std::nullopt, std::nullopt};
    return {ftdi, onboard};
}

DeviceBindings bindings(FakeSettings& store) {
    return DeviceBindings(store, detected(),
                          [](int n) { return "/dev/ttyS" + std::to_string(n - 1); });
}

// The default first, then each adapter; a path is found as its entry, or
// -1 when it was typed.
TEST(DeviceBindings, OffersTheDefaultThenEachAdapterAndFindsTheEntryOfAPath) {
    FakeSettings store;
    const DeviceBindings b = bindings(store);
    std::vector<std::string> offered;
    for (const auto& [label, path] : b.choices(2)) {
        offered.push_back(label + " -> " + path);
    }
    EXPECT_EQ(offered,
              (std::vector<std::string>{"Default (/dev/ttyS1) -> ",
                                        "FT232R USB UART (FTDI) " + ftdiById + " -> " + ftdiById,
                                        "serial port /dev/ttyS0 -> /dev/ttyS0"}));
    const std::pair<std::string, int> table[] = {
        {"", 0},           {"/dev/ttyS1", 0},      {ftdiById, 1}, {"/dev/ttyUSB0", 1},
        {"/dev/ttyS0", 2}, {"/tmp/ttyOSTREL", -1},
    };
    for (const auto& [path, index] : table) {
        EXPECT_EQ(b.choiceIndex(2, path), index) << path;
    }
}

// What OK stores under "PortNames" for each COM, and which COMs changed.
TEST(DeviceBindings, StoresStablePathsAndReportsChanges) {
    const std::string usb = "/dev/ttyUSB0", typed = "/tmp/ttyOSTREL", s3 = "/dev/ttyS3";
    using Coms = std::array<std::string, 4>;
    const Coms kept{ftdiById, "", "/dev/y", ""};
    const struct {
        const char* name;
        Coms stored, chosen, after; // stored before OK, chosen, bound after
        std::vector<int> changed;
    } cases[] = {
        {"adapter by its system path", {}, {usb, "", "", ""}, {ftdiById, "", "", ""}, {1}},
        {"typed path kept as typed", {}, {"", typed, "", ""}, {"", typed, "", ""}, {2}},
        {"default chosen or typed out", {"/dev/x", "", "", ""}, {"", "", "", s3}, {}, {1}},
        {"nothing changed, nothing written", kept, kept, kept, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSettings store;
        for (int n = 1; n <= 4; ++n) {
            if (!c.stored[n - 1].empty()) {
                store.values[{"PortNames", "COM" + std::to_string(n)}] = c.stored[n - 1];
            }
        }
        DeviceBindings b = bindings(store);
        EXPECT_EQ(b.apply(c.chosen), c.changed);
        Coms after;
        for (int n = 1; n <= 4; ++n) {
            after[n - 1] = b.bound(n);
        }
        EXPECT_EQ(after, c.after);
        EXPECT_EQ(store.saves.size(), c.changed.size());
    }
}

TEST(DeviceBindings, DescribesTheDeviceBehindAPort) {
    const std::pair<std::string, std::string> table[] = {
        {"/dev/ttyUSB0", "/dev/ttyUSB0: FT232R USB UART (FTDI), " + ftdiById},
        {ftdiById, ftdiById + ": FT232R USB UART (FTDI)"},
        {"/dev/ttyS0", "/dev/ttyS0: serial port"},
        {"/dev/ttyS3", "/dev/ttyS3: not detected"},
    };
    for (const auto& [path, line] : table) {
        EXPECT_EQ(describeDevice(path, detected()), line);
    }
}

// Newly bound ports are tried, on a closed control, which keeps its selection.
TEST(DeviceBindings, ReprobesTheChangedPorts) {
    SimWorld world;
    world.m.port_present = {false, true, false, false, true};
    world.port.present = {2, 3};
    world.port.setCommPort(1);
    EXPECT_TRUE(reprobe_ports(world.m, world.port, {2, 4}));
    EXPECT_EQ(world.m.port_present, (std::array<bool, 17>{false, true, true, false, false}));
    EXPECT_EQ(world.port.commPort(), 1);
    EXPECT_FALSE(world.port.portOpen());

    // An open control cannot select another port: nothing is tried.
    world.port.setCommPort(2);
    ASSERT_FALSE(world.port.setPortOpen(true).has_value());
    world.port.present = {};
    EXPECT_FALSE(reprobe_ports(world.m, world.port, {2}));
    EXPECT_TRUE(world.m.port_present[2]);
}

} // namespace
} // namespace quill::sim
