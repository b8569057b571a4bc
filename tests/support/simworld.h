// SPDX-License-Identifier: MIT
#pragma once
// A whole simulated world around the download engine: the clock, the
// serial port with a device at its far end, the timer, the boxes, the wait
// dialog, the window's controls and a real hex file on disk. Each test owns
// a fresh one.

#include "devsim/devicemodel.h"
#include "download/downloader.h"
#include "fakecontrols.h"
#include "hexfile/stdhexfile.h"
#include "hexlines.h"
#include "simboxes.h"
#include "simloop.h"
#include "simserial.h"
#include "simtimer.h"
#include "simwaitdialog.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace quill::sim {

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
    SimWorld();

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
    // Presses "Start Download" and lets the world run until nothing is left to happen.
    void startAndRun();
    void start() { engine.cmdStart_Click(); }

    // The record lines the program wrote after the erase request, without CR LF.
    std::vector<std::string> recordsSent() const;
    int eraseRequestsSent() const;
};

devsim::Parity parityFromSettings(const std::string& settings);

using test::dataRecord;

} // namespace quill::sim
