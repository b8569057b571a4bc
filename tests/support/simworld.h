// SPDX-License-Identifier: MIT
#pragma once
// A whole simulated world around the download engine: the clock, the
// serial port with a device at its far end, the timer, the boxes, the wait
// dialog, the window's controls and a real hex file on disk. Each test owns
// a fresh one.

#include "devsim/devicemodel.h"
#include "download/downloader.h"
#include "hexfile/fileselect.h"
#include "hexfile/stdhexfile.h"
#include "hexlines.h"
#include "platform/mainformcontrols.h"
#include "platform/mscomm.h"
#include "simloop.h"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quill::sim {

// The serial control. What the program writes is kept byte by byte with the
// time and the line settings in force, and is handed to the device at the
// far end, whose answers arrive as receive events after their delays, one
// batch per answer.
struct WireWrite {
    Ms at;
    std::vector<uint8_t> bytes;
    std::string settings; // the line configuration when it was written
};

struct Delivery {
    Ms delay;
    std::vector<uint8_t> bytes;
};

// The far end: given what the program wrote and the line configuration,
// what it answers.
using FarEnd = std::function<std::vector<Delivery>(const std::vector<uint8_t>& written,
                                                   const std::string& settings)>;

class SimSerial final : public MSComm {
  public:
    explicit SimSerial(SimLoop& loop) : m_loop(loop) {}

    void setEventSink(MSCommEvents* sink) override { m_sink = sink; }
    void setCommPort(int16_t port) override { m_port = port; }
    int16_t commPort() const override { return m_port; }
    std::string portDisplayName() const override {
        return "COM" + std::to_string(m_port) + " (sim)";
    }
    bool portOpen() const override { return m_open; }
    PortStatus setPortOpen(bool open) override;
    PortStatus setSettings(const std::string& text) override;
    std::string settings() const override { return m_settings; }
    void setHandshaking(int16_t mode) override { handshaking = mode; }
    void setRThreshold(int16_t count) override { rThreshold = count; }
    void setSThreshold(int16_t) override {}
    void setInputMode(int16_t mode) override { inputMode = mode; }
    void setParityReplace(const std::string&) override {}
    PortStatus output(std::span<const uint8_t> data) override;
    void setInBufferCount(int16_t count) override;
    int16_t commEvent() const override { return m_event; }
    std::vector<uint8_t> input() override { return std::exchange(m_rx, {}); }

    // --- the simulated world ---
    std::set<int16_t> present{1, 2, 3, 4}; // ports that exist on this machine
    std::set<int16_t> busy;                // held by another program
    FarEnd farEnd;

    // The device sends `bytes` as one batch after `delay`.
    void deliver(Ms delay, std::vector<uint8_t> bytes);
    // The device sent `bytes` before now: they wait in the receive buffer,
    // unread, and their receive event comes after `delay`.
    void arrived(Ms delay, std::vector<uint8_t> bytes);
    // Raises a port event other than receive.
    void raiseEvent(Ms delay, int16_t code);
    // The adapter is pulled out after `delay`.
    void unplug(Ms delay);

    const std::vector<WireWrite>& writes() const { return m_writes; }
    int opens = 0;
    int discards = 0; // InBufferCount = 0

    int16_t handshaking = -1;
    int16_t rThreshold = -1;
    int16_t inputMode = -1;

  private:
    void event(int16_t code);

    SimLoop& m_loop;
    MSCommEvents* m_sink = nullptr;
    int16_t m_port = 1;
    bool m_open = false;
    std::string m_settings = "9600,N,8,1"; // the control's defaults
    int16_t m_event = 0;
    std::vector<uint8_t> m_rx;
    std::vector<WireWrite> m_writes;
};

// The parity letter of a line configuration text ("9600,M,8,1" -> 'M'), '?' if none.
char parityOf(const std::string& settings);

// The main-window controls the core touches, as plain state.
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

// The Open dialog: what it was set up with, and the user's answer.
struct FakeFileDialog final : FileDialog {
    std::optional<std::string> answer; // nothing: the user cancels
    std::string filter;
    int filterIndex = 0, flags = 0;
    void setFilter(const std::string& f) override { filter = f; }
    void setFilterIndex(int index) override { filterIndex = index; }
    void setFlags(int f) override { flags = f; }
    std::optional<std::string> ShowOpen() override { return answer; }
};

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // Writes `bytes` to a file of that name and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const;
    const std::filesystem::path& path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

// Every end the download told, in order.
struct RecordedEnds final : DownloadObserver {
    std::vector<DownloadEnd> ends;
    void downloadEnded(DownloadEnd end) override { ends.push_back(end); }
};

struct SimWorld {
    SimLoop loop;
    Module1 m;
    SimSerial port{loop};
    SimTimer timer{loop};
    SimBoxes boxes{loop};
    SimWaitDialog waitDialog{loop};
    FakeControls form;
    StdHexFile file;
    TempDir dir;
    RecordedEnds told;
    Context context{m, port, timer, boxes, waitDialog, file, form, &told};
    Downloader engine{context};
    std::unique_ptr<devsim::DeviceModel> device;

    // The port as the COM setup leaves it: selected, configured for the
    // device option, open.
    void setUpPort(int32_t baud, int16_t deviceType, int16_t comPort = 1);
    // Puts a device model at the far end of the port.
    devsim::DeviceModel& connect(devsim::Config config);
    // Writes a hex file and chooses it, as the Open dialog would.
    std::string chooseFile(const std::string& content, const std::string& name = "fw.hex");
    // Presses "Start Download".
    void start() { engine.cmdStart_Click(); }

    // The record lines written since the last erase request, one a write,
    // without CR LF.
    std::vector<std::string> recordsSent() const;
};

using test::dataRecord;

} // namespace quill::sim
