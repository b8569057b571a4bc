// SPDX-License-Identifier: MIT
#pragma once
// The serial control MSComm1 for a port on this machine, QtMSComm, as this
// system's file declares it: qtmscomm_unix.h over QSerialPort and the
// terminal driver, qtmscomm_win.h over the Win32 communications API. The
// build names the file (QUILL_QTMSCOMM_HEADER).

#include QUILL_QTMSCOMM_HEADER
