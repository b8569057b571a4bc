// SPDX-License-Identifier: MIT
#include "shared/downloadend.h"

namespace quill {

uint32_t beginDownload(Context& c) {
    stopDownload(c, DownloadEnd::Superseded);
    c.m.download_running = true;
    return ++c.m.download_count;
}

bool stillRunning(const Context& c, uint32_t id) {
    return c.m.download_running && c.m.download_count == id;
}

void reportEnd(Context& c, DownloadEnd end) {
    if (!c.m.download_running) {
        return;
    }
    c.m.download_running = false;
    if (c.observer != nullptr) {
        c.observer->downloadEnded(end);
    }
}

void stopDownload(Context& c, DownloadEnd end) {
    if (!c.m.download_running) {
        return;
    }
    // The state first: a handshake step waiting in the wait dialog returns
    // when it closes and must find its download ended.
    c.Timer1.setEnabled(false);
    c.m.cstate = cs_off;
    c.m.TrackerACK = false;
    reportEnd(c, end);
    c.frmWaitCom.close();
    c.form.setLblMsgVisible(false);
    c.form.setPrbValue(0);
    c.form.setPrbVisible(false);
}

} // namespace quill
