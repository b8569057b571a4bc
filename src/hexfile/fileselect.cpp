// SPDX-License-Identifier: MIT
#include "hexfile/fileselect.h"

#include "hexfile/hexfile.h"
#include "hexfile/hexfiletexts.h"
#include "shared/downloadend.h"

namespace quill {

namespace {

constexpr int filePanel = 2;
constexpr int filePanelMinWidth = 25;
constexpr const char* filePanelTail = "    ";

// "Start Download" may be pressed once the port is open and a file named;
// panel 2 shows the name.
void show_chosen_file(Context& c) {
    if (c.MSComm1.portOpen() && !c.m.hex_file_name.empty()) {
        c.form.setCmdStartEnabled(true);
        c.form.cmdStartSetFocus();
    } else {
        c.form.setCmdStartEnabled(false);
    }
    c.form.setPanelMinWidth(filePanel, filePanelMinWidth);
    c.form.setPanelText(filePanel, c.m.hex_file_name + filePanelTail);
}

// A choice made while a download runs ends that download first, at once
// and with nothing more sent: a download never goes on with another file,
// nor with a part of its own.
void stop_for_new_choice(Context& c) {
    if (!c.m.download_running) {
        return;
    }
    stopDownload(c, DownloadEnd::Superseded);
    c.boxes.MsgBox(text::StoppedForNewChoice);
}

} // namespace

void select_hex_file(Context& c, const std::string& path) {
    c.m.hex_file_name = path;
    // The new file is opened by the download start, not here. A failed
    // close still releases the file, so the choice goes on.
    if (c.m.hex_file_open) {
        c.file1.close();
        c.m.hex_file_open = false;
    }
    show_chosen_file(c);
}

void mnuFileOpen_Click(Context& c, FileDialog& dialog) {
    dialog.setFilter(text::OpenDialogFilter);
    dialog.setFilterIndex(1);
    // The read-only box is ticked when the dialog opens and never read back.
    dialog.setFlags(cdlOFNFileMustExist | cdlOFNReadOnly);
    const std::optional<std::string> path = dialog.ShowOpen();
    if (!path) {
        return; // cancelled: the choice stays as it was
    }
    stop_for_new_choice(c);
    select_hex_file(c, *path);
}

void Form_OLEDragDrop(Context& c, const std::vector<std::string>& files) {
    if (files.empty() || files.front().empty()) {
        return;
    }
    stop_for_new_choice(c);
    open_hex_file(c.m, c.file1, c.boxes, files.front());
    if (!c.m.hex_file_open) {
        return; // "Open file error" has been shown; nothing else changes
    }
    // The dropped file is chosen exactly as if from the dialog, but it stays open.
    show_chosen_file(c);
}

} // namespace quill
