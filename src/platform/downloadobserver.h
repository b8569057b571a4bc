// SPDX-License-Identifier: MIT
#pragma once
// What the download tells its owner beside the window: how each download
// ended, as a value. Every download that "Start Download" begins ends
// exactly once, and its end is told once, before any message about it is
// shown. An owner that needs nothing attaches no observer; the download
// then tells nobody.
//
// Further events (what goes over the wire, state changes, the timer) are
// meant to join this interface as further virtual functions with empty
// defaults, so an observer implements only what it listens to.

#include "platform/hexfilesource.h"

namespace quill {

enum class DownloadEnd {
    Complete,         // "Download complete"
    BadRecord,        // a corrupt record line: refused before anything was sent, or cancelled
    NoRecords,        // refused: no record line in the file
    NoEndRecord,      // refused: no end record, and the user (or quill-cli) did not accept that
    RecordsAfterEnd,  // refused: records after the end record, and that was not accepted
    FileError,        // no file chosen, or the file could not be opened, read or closed
    FileChanged,      // the file changed after it was checked
    NoEraseAnswer,    // the device did not answer the erase request
    TrackerHandshake, // the Tracker handshake failed and the erase request went unanswered
    PortFailure,      // the port could not be opened, failed or went away
    Cancelled,        // the Manual prompt was answered Cancel
    Superseded,       // stopped by a new choice of file or a new Start
    Interrupted,      // stopped by its owner (quill-cli's time limit or a signal)
};

class DownloadObserver {
  public:
    virtual ~DownloadObserver() = default;
    virtual void downloadEnded(DownloadEnd /*end*/) {}
    // The whole-file check has read the file, before the device hears a
    // byte: its identity (unknown when it could not be read to the end) and
    // what the download will send, refused or not.
    virtual void fileChecked(const FileIdentity& /*identity*/, const DownloadTotals& /*totals*/) {}
    // The device has answered the erase request (for a Tracker, after its
    // handshake) and its first record is about to go out: what is drawn
    // for the unit only once its device is known to be there (its serial
    // number) is drawn now, and put into the image. The owner may end the
    // download here (the number cannot be drawn, or cannot go into the
    // image): nothing more is sent then.
    virtual void deviceAnswered() {}
    // The device is about to hear its first byte (the erase request, or the
    // Tracker's first frame), every question asked: the last moment at
    // which the owner can end the download with the device untouched
    // (a work order with no place left for the unit). Nothing is sent then.
    virtual void beforeFirstByte() {}
};

} // namespace quill
