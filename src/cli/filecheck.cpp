// SPDX-License-Identifier: MIT
#include "cli/filecheck.h"

#include "download/context.h"
#include "download/downloadend.h"
#include "download/downloadprogress.h"
#include "hexfile/hexfile.h"
#include "hexfile/hexfiletexts.h"
#include "hexfile/recordsender.h"
#include "hexfile/stdhexfile.h"

namespace quill::cli {

namespace {

// The check reads the file only; the port, the timer, the wait dialog and
// the window are never touched by it, and stay as still as these.
class NoPort final : public MSComm {
  public:
    void setEventSink(MSCommEvents*) override {}
    void setCommPort(int16_t) override {}
    int16_t commPort() const override { return 0; }
    std::string portDisplayName() const override { return {}; }
    bool portOpen() const override { return false; }
    PortStatus setPortOpen(bool) override { return notOpen(); }
    PortStatus setSettings(const std::string&) override { return {}; }
    std::string settings() const override { return {}; }
    void setHandshaking(int16_t) override {}
    void setRThreshold(int16_t) override {}
    void setSThreshold(int16_t) override {}
    void setInputMode(int16_t) override {}
    void setParityReplace(const std::string&) override {}
    PortStatus output(std::span<const uint8_t>) override { return notOpen(); }
    void setInBufferCount(int16_t) override {}
    int16_t commEvent() const override { return 0; }
    std::vector<uint8_t> input() override { return {}; }

  private:
    static PortError notOpen() { return {PortErrorKind::NotOpen, {}}; }
};

class NoTimer final : public Timer {
  public:
    void setHandler(std::function<void()>) override {}
    void setInterval(int) override {}
    int interval() const override { return 0; }
    void setEnabled(bool) override {}
    bool enabled() const override { return false; }
};

class NoWaitDialog final : public WaitDialog {
  public:
    void setEventSink(WaitDialogEvents*) override {}
    void load() override {}
    void setAcknowledging(bool) override {}
    void showModal() override {}
    void close() override {}
    void setMessage(const std::string&) override {}
};

class NoWindow final : public MainFormControls {
  public:
    void setLblMsgVisible(bool) override {}
    void setLblMsgCaption(const std::string&) override {}
    void setPrbVisible(bool) override {}
    void setPrbMin(float) override {}
    void setPrbMax(float) override {}
    float prbMax() const override { return 0; }
    void setPrbValue(float) override {}
    void setCmdStartEnabled(bool) override {}
    void cmdStartSetFocus() override {}
    void setPanelText(int, const std::string&) override {}
    void setPanelMinWidth(int, int) override {}
};

class EndSeen final : public DownloadObserver {
  public:
    void downloadEnded(DownloadEnd end) override { this->end = end; }
    std::optional<DownloadEnd> end;
};

} // namespace

FileCheck checkFileOnce(const std::string& path, MessageBoxes& boxes) {
    Module1 m;
    StdHexFile file;
    NoPort port;
    NoTimer timer;
    NoWaitDialog wait;
    NoWindow window;
    EndSeen seen;
    Context c{m, port, timer, boxes, wait, file, window, &seen};

    FileCheck result;
    begin_download(c);
    open_hex_file(m, file, boxes, path);
    if (!m.hex_file_open) {
        result.refused = DownloadEnd::FileError; // "Open file error" has been shown
        return result;
    }
    std::string line;
    CheckedFile checked;
    switch (check_hex_file(c, line, checked)) {
    case FileVerdict::Refused:
        result.refused = seen.end.value_or(DownloadEnd::FileError);
        return result;
    case FileVerdict::NoEndRecord:
        // The same question the download asks; the devices will ask it again
        // and get the same answer.
        if (boxes.MsgBox(text::NoEndRecord, MsgButtons::OkCancel, MsgIcon::None,
                         MsgResult::Cancel) != MsgResult::Ok) {
            result.refused = DownloadEnd::NoEndRecord;
            return result;
        }
        break;
    case FileVerdict::Whole:
        break;
    }
    result.totals = count_download(file, m.hex_table);
    file.close();
    return result;
}

} // namespace quill::cli
