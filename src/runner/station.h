// SPDX-License-Identifier: MIT
#pragma once
// The Qt half of one headless download: the serial port, the timers, the
// event queue, the hex file and the event loop of the thread that builds
// it, around the run that ends it (run/headlessrun.h). The front end gives
// what it shows with: the boxes, the wait dialog, the window controls and
// the view.

#include "hexfile/stdhexfile.h"
#include "qt/qteventqueue.h"
#include "qt/qttimer.h"
#include "qt/serialcontrol.h"
#include "run/headlessrun.h"
#include "unitserial/patchedhexfile.h"

#include <memory>
#include <optional>

#include <QEventLoop>

namespace quill {

struct StationSetup {
    PortResolver resolver;      // COMn to its device
    bool namedByDevice = false; // messages name the port by its device path alone
    RunSetup run;
    std::string heldTo; // the SHA-256 the run checked the file with; empty: any
    // The unit's number, put into the image at its address as records go out
    // (until the number is drawn, placeholder bytes of its size).
    std::optional<uint32_t> serialAddress;
    std::vector<uint8_t> serialBytes;
    // A recipe's firmware, read from memory; none: the file on disk.
    std::shared_ptr<const std::vector<uint8_t>> firmware;
};

class Station final : private RunView {
  public:
    Station(StationSetup setup, MessageBoxes& boxes, WaitDialog& wait, MainFormControls& form,
            RunView& view);
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    HeadlessRun& run() { return m_run; }
    const HeadlessRun& run() const { return m_run; }
    // What the queued calls of this station run on: this thread's loop.
    Inbox& context() { return m_queue.context(); }

    // Opens the port and runs the download to its end on this thread's
    // event loop. A port that cannot be set up or opened ends it at once.
    Outcome exec();
    PortOpening opening() const { return m_opening; }
    // The unit's number, drawn once the device answered, before its first record.
    void setSerialBytes(std::vector<uint8_t> bytes);

  private:
    void runMessage(const std::string& text, bool error) override;
    void downloadEnded(DownloadEnd end) override;
    void runEnding(Outcome outcome) override;
    void stopAsking() override;
    std::optional<Outcome> deviceAnswered() override;
    std::optional<Outcome> beforeFirstByte() override;
    void runFinished(Outcome outcome) override;

    RunView& m_view;
    SerialControl m_port;
    QtTimer m_timer;
    QtTimer m_idle;
    QtTimer m_lastAnswer;
    QtTimer m_settle;
    StdHexFile m_file;
    std::optional<PatchedHexFile> m_patched; // with a unit's number: m_file, patched
    QEventLoop m_loop;
    Outcome m_outcome = Outcome::Failure;
    PortOpening m_opening = PortOpening::Open;
    // Last: what is queued for the run dies before the run.
    QtEventQueue m_queue;
    HeadlessRun m_run;
};

} // namespace quill
