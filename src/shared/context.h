// SPDX-License-Identifier: MIT
#pragma once
// What the download works on: the shared state and the platform pieces of
// the main window, passed together so that every routine sees the same
// world (the real one in the application, a simulated one in the tests).

#include "platform/downloadobserver.h"
#include "platform/hexfilesource.h"
#include "platform/mainformcontrols.h"
#include "platform/messagebox.h"
#include "platform/mscomm.h"
#include "platform/timer.h"
#include "platform/waitdialog.h"
#include "shared/module1.h"

namespace quill {

struct Context {
    Module1& m;
    MSComm& MSComm1;
    Timer& Timer1;
    MessageBoxes& boxes;
    WaitDialog& frmWaitCom;
    HexFileSource& file1;
    MainFormControls& form;
    DownloadObserver* observer = nullptr; // none: nobody is told
};

} // namespace quill
