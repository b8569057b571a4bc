// SPDX-License-Identifier: MIT
// The Port menu's "Devices..." dialog and the device names in COM Setup, on
// the offscreen platform: COM1 is a pseudo-terminal, COM2 to COM4 name
// files that do not exist.

#include "uitest.h"

#include "ui/frmdevices.h"

namespace quill::test {
namespace {

// COM2 names nothing that exists; bound to the pseudo-terminal in "Devices...", it is stored and
// offered at once. A binding typed and cancelled is not stored. COM4 bound to a port on the network
// is offered without a connection (where none would be accepted).
TEST_F(WindowTest, DevicesBindsAPortThatComSetupThenOffers) {
    start();
    const QString device = QString::fromStdString(pty.slavePath());
    script.then("frmComSetup", [&](QWidget* dialog) {
        EXPECT_TRUE(
            child(dialog, "optPort1")->toolTip().endsWith(QStringLiteral(": not detected")));
        click(dialog, {"cmdCancel"});
    });
    app->Main();

    script
        .then("frmDevices",
              [](QWidget* dialog) {
                  child<QComboBox>(dialog, "cboCom3")->setEditText(QStringLiteral("/dev/ttyUSB7"));
                  click(dialog, {"cmdCancel"});
              })
        .then("frmDevices",
              [&](QWidget* dialog) {
                  // The stored binding shows as typed; the rest as their default.
                  EXPECT_EQ(child<QComboBox>(dialog, "cboCom2")->currentText(),
                            QString::fromStdString(path("COM2")));
                  child<QComboBox>(dialog, "cboCom2")->setEditText(device);
                  child<QComboBox>(dialog, "cboCom4")
                      ->setEditText(QStringLiteral("rfc2217://127.0.0.1:1"));
                  click(dialog, {"cmdOK"});
              })
        .then("frmComSetup", [&](QWidget* dialog) {
            EXPECT_TRUE(child(dialog, "optPort1")->isEnabled());
            EXPECT_TRUE(child(dialog, "optPort1")->toolTip().startsWith(device));
            EXPECT_TRUE(child(dialog, "optPort3")->isEnabled());
            EXPECT_EQ(child(dialog, "optPort3")->toolTip(),
                      u"rfc2217://127.0.0.1:1: a port on the network");
            click(dialog, {"cmdCancel"});
        });
    control<QAction>("mnuDevices")->trigger();
    control<QAction>("mnuDevices")->trigger();
    control<QAction>("mnuComSetup")->trigger();
    EXPECT_EQ(script.pending(), 0u);
    EXPECT_EQ(settings().GetSetting("PortNames", "COM2"), device.toStdString());
    EXPECT_EQ(settings().GetSetting("PortNames", "COM3"), path("COM3")); // untouched
}

// What each list hands back: a chosen entry's path (an adapter's by-id
// path, the default's empty path) or the text typed over it.
TEST_F(WindowTest, DevicesListsReadBackChosenOrTyped) {
    const std::string byId = "/dev/serial/by-id/usb-Prolific_PL2303-if00-port0";
    const std::vector<DetectedPort> detected{
        {"/dev/ttyUSB0", byId, "USB-Serial Controller", "Prolific", "", 0x067b, 0x2303}};
    auto store = settings();
    store.SaveSetting("PortNames", "COM4", "/dev/ttyUSB0"); // shown as the adapter
    DeviceBindings bindings(store, detected, [](int n) { return "/dev/ttyS" + std::to_string(n); });
    frmDevices dialog(bindings, nullptr);
    const auto list = [&](const char* name) { return child<QComboBox>(&dialog, name); };
    EXPECT_EQ(list("cboCom4")->currentIndex(), 1);
    EXPECT_EQ(list("cboCom4")->currentText(),
              QStringLiteral("USB-Serial Controller (Prolific) ") + QString::fromStdString(byId));

    list("cboCom1")->setCurrentIndex(1);                        // the adapter
    list("cboCom2")->setEditText(QStringLiteral(" /tmp/tty ")); // typed, trimmed
    list("cboCom3")->setCurrentIndex(0);                        // the default
    const std::array<std::string, 4> expected{byId, "/tmp/tty", "", byId};
    EXPECT_EQ(dialog.chosenPaths(), expected);
}

} // namespace
} // namespace quill::test
