// SPDX-License-Identifier: MIT
#pragma once
// Start-up and the persisted settings: port, baud rate and device option
// read from the per-user store, the device option and its menu, saving on
// unload, and the command line.

#include "platform/mscomm.h"
#include "platform/settingsstore.h"
#include "shared/module1.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quill {

// The two check-marked items under Options, Device.
class DeviceMenu {
  public:
    virtual ~DeviceMenu() = default;
    virtual void setManualChecked(bool checked) = 0;  // mnuDeviceDefault
    virtual void setTrackerChecked(bool checked) = 0; // mnuDeviceTracker
};

// Conversions of the stored texts ("Port"/"COM", "Port"/"BAUD", "Option"/"DEVICE").
// "COM" and "BAUD": empty text, text other than an optional minus sign and
// decimal digits, or a number that does not fit 16 (32) bits gives 0, not
// set. A number that fits is kept as read, usable or not.
int16_t com_from_setting(std::string_view text);
int32_t baud_from_setting(std::string_view text);
// "DEVICE": the leading number as read_number reads it, halves rounded to
// the even neighbour; 0 unless it is a device option (0 to 3).
int16_t device_from_setting(std::string_view text);

// Main, steps 1 to 3: com_port, baud_rate and device_type from the store.
void read_settings(Module1& m, const SettingsStore& store);
// The main window's unload: stores port and baud rate where they are usable.
void save_settings(const Module1& m, SettingsStore& store);

// Clears both check marks; a valid value becomes device_type and checks
// its item (2 and 3 have none); an invalid one leaves device_type as it was.
void set_device(Module1& m, DeviceMenu& menu, int32_t value);

// Reads a number the way the command line's "/p" option does: blanks, tabs
// and line feeds skipped anywhere, optional sign, digits, fraction and
// exponent (E, or D), or &H / &O numbers read as unsigned; reading stops at
// the first character that cannot continue; no digits give 0. Too large
// for a double gives an infinity.
double read_number(std::string_view text);
// Applies "/p" from the command-line text (without the program's name): the
// number after the first "/p" (either case), rounded half to even, becomes
// com_port if it is a present port; anything else changes nothing.
void process_cmd(Module1& m, const std::string& cmdstr);

} // namespace quill
