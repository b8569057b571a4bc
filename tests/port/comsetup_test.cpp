// The "COM Setup" dialog's logic on the simulated serial port: what its
// buttons show, and what OK does to the port, the status bar and the store.

#include "fakesettings.h"
#include "port/comsetup.h"
#include "port/portcontrol.h"
#include "port/porttexts.h"
#include "simworld.h"

#include <gtest/gtest.h>

namespace quill::sim {
namespace {

struct Button {
    std::string caption;
    bool enabled = false;
    bool selected = false;
    bool operator==(const Button&) const = default;
};

struct FakeView final : ComSetupView {
    Button port[4];
    Button baud[2];
    void setPortButton(int index, const std::string& caption, bool enabled,
                       bool selected) override {
        port[index] = {caption, enabled, selected};
    }
    void setBaudButton(int index, const std::string& caption, bool enabled,
                       bool selected) override {
        baud[index] = {caption, enabled, selected};
    }
};

// A driver that cannot do mark parity (some USB adapters); otherwise the
// simulated port.
class NoMarkParity final : public MSComm {
  public:
    explicit NoMarkParity(SimSerial& port) : p(port) {}
    PortStatus setSettings(const std::string& text) override {
        if (parityOf(text) == 'M') {
            return PortError{PortErrorKind::Unsupported, "The adapter cannot do mark parity."};
        }
        return p.setSettings(text);
    }
    void setEventSink(MSCommEvents* sink) override { p.setEventSink(sink); }
    void setCommPort(int16_t port) override { p.setCommPort(port); }
    int16_t commPort() const override { return p.commPort(); }
    std::string portDisplayName() const override { return p.portDisplayName(); }
    bool portOpen() const override { return p.portOpen(); }
    PortStatus setPortOpen(bool open) override { return p.setPortOpen(open); }
    std::string settings() const override { return p.settings(); }
    void setHandshaking(int16_t mode) override { p.setHandshaking(mode); }
    void setRThreshold(int16_t count) override { p.setRThreshold(count); }
    void setSThreshold(int16_t count) override { p.setSThreshold(count); }
    void setInputMode(int16_t mode) override { p.setInputMode(mode); }
    void setParityReplace(const std::string& text) override { p.setParityReplace(text); }
    PortStatus output(std::span<const uint8_t> data) override { return p.output(data); }
    int16_t commEvent() const override { return p.commEvent(); }
    std::vector<uint8_t> input() override { return p.input(); }

  private:
    SimSerial& p;
};

class ComSetupTest : public ::testing::Test {
  protected:
    // The machine's ports are probed as at start-up, and the window's load
    // step has set the port panel.
    void start(std::set<int16_t> present = {1, 2, 3, 4}) {
        world.port.present = std::move(present);
        probe_ports(world.m, world.port);
        world.form.panelText[1] = text::ComNotSet;
    }
    // The port as an earlier OK left it: COM1 at 9600, Manual, open.
    void portOpenOnCom1() {
        world.setUpPort(9600, device_manual, 1);
        world.form.panelText[1] = "COM1 9600  ";
    }

    SimWorld world;
    FakeSettings store;
    FakeView view;
    ComSetup setup{world.m, world.port, world.boxes, store, world.form};
};

TEST_F(ComSetupTest, FirstRunShowsNothingSelectedAndOkRejectsPortThenBaud) {
    start();
    setup.Form_Load(view);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(view.port[i], (Button{"COM" + std::to_string(i + 1), true, false}));
    }
    EXPECT_EQ(view.baud[0], (Button{"9600", true, false}));
    EXPECT_EQ(view.baud[1], (Button{"38400", true, false}));

    const int opensBefore = world.port.opens;
    setup.cmdOK_Click();
    EXPECT_EQ(world.boxes.texts(),
              (std::vector<std::string>{"Current com port selection is not valid",
                                        "Current baud rate selection is not valid"}));
    EXPECT_EQ(world.port.opens, opensBefore);
    EXPECT_FALSE(world.port.portOpen());
    EXPECT_EQ(world.form.panelText[1], "COM not set   ");
    EXPECT_TRUE(store.saves.empty());
}

TEST_F(ComSetupTest, ManualCom2At38400ReopensTheOpenPortAtMarkParityAndStores) {
    start();
    portOpenOnCom1();
    setup.Form_Load(view);
    EXPECT_TRUE(view.port[0].selected);
    EXPECT_TRUE(view.baud[0].selected);
    setup.optPort_Click(1);
    setup.optBaud_Click(1);
    const int opensBefore = world.port.opens;
    setup.cmdOK_Click();

    EXPECT_TRUE(world.boxes.shown().empty());
    EXPECT_EQ(world.port.opens, opensBefore + 1); // closed and opened again
    EXPECT_TRUE(world.port.portOpen());
    EXPECT_EQ(world.port.commPort(), 2);
    EXPECT_EQ(world.port.settings(), "38400,M,8,1");
    EXPECT_EQ(world.m.com_settings, "38400,M,8,1");
    EXPECT_EQ(world.form.panelText[1], "COM2 38400  ");
    EXPECT_EQ(store.saves,
              (std::vector<SavedSetting>{{"Port", "COM", "2"}, {"Port", "BAUD", "38400"}}));
}

TEST_F(ComSetupTest, ParityFollowsTheDeviceOptionAtOk) {
    start();
    world.m.com_port = 3;
    world.m.baud_rate = 38400;
    world.m.device_type = device_tracker;
    setup.cmdOK_Click();
    EXPECT_EQ(world.port.settings(), "38400,E,8,1");
    EXPECT_EQ(world.port.commPort(), 3);
    EXPECT_TRUE(world.port.portOpen());

    // Options 2 and 3 build no text: the last one stays, whatever the baud rate.
    world.m.device_type = 2;
    world.m.baud_rate = 9600;
    setup.cmdOK_Click();
    EXPECT_EQ(world.m.com_settings, "38400,E,8,1");
    EXPECT_EQ(world.port.settings(), "38400,E,8,1");
    EXPECT_TRUE(world.port.portOpen());
}

TEST_F(ComSetupTest, OptionTwoBeforeAnyTextKeepsTheControlsConfiguration) {
    start();
    world.m.com_port = 1;
    world.m.baud_rate = 9600;
    world.m.device_type = 3;
    setup.cmdOK_Click();
    EXPECT_TRUE(world.boxes.shown().empty());
    EXPECT_TRUE(world.port.portOpen());
    EXPECT_EQ(world.port.settings(), "9600,N,8,1"); // the control's defaults
    EXPECT_EQ(world.form.panelText[1], "COM1 9600  ");
}

TEST_F(ComSetupTest, CancelKeepsTheClickedValuesButTouchesNothingElse) {
    start();
    portOpenOnCom1();
    setup.Form_Load(view);
    setup.optPort_Click(2);
    setup.optBaud_Click(1);
    // Cancel: the dialog closes, nothing is called.
    EXPECT_EQ(world.m.com_port, 3);
    EXPECT_EQ(world.m.baud_rate, 38400);
    EXPECT_TRUE(world.port.portOpen());
    EXPECT_EQ(world.port.commPort(), 1);
    EXPECT_EQ(world.port.settings(), "9600,M,8,1");
    EXPECT_EQ(world.form.panelText[1], "COM1 9600  ");
    EXPECT_TRUE(store.saves.empty());

    FakeView again; // the next show starts from the clicked values
    setup.Form_Load(again);
    EXPECT_TRUE(again.port[2].selected);
    EXPECT_TRUE(again.baud[1].selected);
}

TEST_F(ComSetupTest, StoredPortAbsentOnThisRunIsSelectedButDisabled) {
    start({1, 2, 4});
    world.m.com_port = 3;
    world.m.baud_rate = 9600;
    setup.Form_Load(view);
    EXPECT_EQ(view.port[2], (Button{"COM3", false, true}));
    EXPECT_EQ(view.port[3], (Button{"COM4", true, false}));
    EXPECT_EQ(world.m.com_port, 3); // loading changes no global
    EXPECT_EQ(world.m.baud_rate, 9600);

    setup.cmdOK_Click();
    EXPECT_EQ(world.boxes.texts(),
              (std::vector<std::string>{"Current com port selection is not valid"}));
    EXPECT_FALSE(world.port.portOpen());
    EXPECT_TRUE(store.saves.empty());
}

TEST_F(ComSetupTest, PortTakenSinceStartUpIsReportedAndNotStored) {
    start();
    portOpenOnCom1();
    world.port.busy.insert(2); // another program took COM2 after the probe
    world.m.com_port = 2;
    setup.cmdOK_Click();

    ASSERT_EQ(world.boxes.texts().size(), 1u);
    EXPECT_EQ(world.boxes.texts()[0],
              std::string(text::SetupOpenFailed) + "\rCOM2 (sim) is used by another program.");
    EXPECT_FALSE(world.port.portOpen());
    EXPECT_EQ(world.form.panelText[1], "COM not set   "); // not "COM1 9600  "
    EXPECT_TRUE(store.saves.empty());
}

TEST_F(ComSetupTest, ValidPortWithInvalidBaudLeavesThePortClosed) {
    start();
    portOpenOnCom1();
    world.m.com_port = 2;
    world.m.baud_rate = 4800;
    setup.cmdOK_Click();

    EXPECT_EQ(world.boxes.texts(),
              (std::vector<std::string>{"Current baud rate selection is not valid"}));
    EXPECT_FALSE(world.port.portOpen());
    EXPECT_EQ(world.port.commPort(), 2);
    EXPECT_EQ(world.port.settings(), "9600,M,8,1"); // left as it was
    EXPECT_EQ(world.form.panelText[1], "COM not set   ");
    EXPECT_TRUE(store.saves.empty());
}

TEST_F(ComSetupTest, InvalidPortLeavesTheOldPortOpenAndAppliesAValidBaud) {
    start();
    portOpenOnCom1();
    world.m.com_port = 0;
    world.m.baud_rate = 38400;
    const int opensBefore = world.port.opens;
    setup.cmdOK_Click();

    EXPECT_EQ(world.boxes.texts(),
              (std::vector<std::string>{"Current com port selection is not valid"}));
    EXPECT_TRUE(world.port.portOpen());
    EXPECT_EQ(world.port.opens, opensBefore);
    EXPECT_EQ(world.port.commPort(), 1);
    EXPECT_EQ(world.port.settings(), "38400,M,8,1");
    EXPECT_EQ(world.form.panelText[1], "COM1 9600  ");
    EXPECT_TRUE(store.saves.empty());
}

TEST_F(ComSetupTest, RefusedLineSettingsAreReportedAndThePortIsNotOpened) {
    start();
    NoMarkParity adapter(world.port);
    ComSetup withAdapter{world.m, adapter, world.boxes, store, world.form};
    world.m.com_port = 2;
    world.m.baud_rate = 9600;
    withAdapter.cmdOK_Click();

    EXPECT_EQ(world.boxes.texts(),
              (std::vector<std::string>{std::string(text::SetupSettingsFailed) +
                                        "\rThe adapter cannot do mark parity."}));
    EXPECT_FALSE(world.port.portOpen());
    EXPECT_EQ(world.form.panelText[1], "COM not set   ");
    EXPECT_TRUE(store.saves.empty());

    world.m.device_type = device_tracker; // even parity works on this adapter
    withAdapter.cmdOK_Click();
    EXPECT_TRUE(world.port.portOpen());
    EXPECT_EQ(world.form.panelText[1], "COM2 9600  ");
}

} // namespace
} // namespace quill::sim
