// SPDX-License-Identifier: MIT
#pragma once
// What the station's lock says: the refusals of a run, the engineer's
// password and its dialog, quill-cli --lock-password-hash.

namespace quill::lock::text {

inline constexpr const char* FreeRunRefused =
    "This station is locked: it runs only recipes and work orders (--recipe, --work-order).";
// "[History] URL" ... the system file ...
inline constexpr const char* Locked = "This station is locked: ";
inline constexpr const char* OverriddenMiddle = " in your settings differs from the value that ";
inline constexpr const char* OverriddenEnd = " fixes. Remove it from your settings.";
inline constexpr const char* HistoryUrlOption = "--history-url";
// --history-url ... [History] URL ... the system file ...
inline constexpr const char* OptionMiddle = " differs from ";
inline constexpr const char* OptionAfter = ", which ";
inline constexpr const char* OptionEnd = " fixes. Leave the option out.";
inline constexpr const char* SystemFileUnreadable = "This station's system settings file ";
inline constexpr const char* SystemFileUnreadableEnd =
    " cannot be read, so nothing runs. Ask whoever looks after the station.";

inline constexpr const char* LockedTitle = " - Locked";
inline constexpr const char* UnlockedTitle = " - Unlocked";
inline constexpr const char* MenuUnlock = "&Unlock...";
inline constexpr const char* UnlockCaption = "Unlock the station";
inline constexpr const char* UnlockPrompt =
    "The engineer's password unlocks this window until it is closed:";
inline constexpr const char* NotLocked = "This station is not locked.";
inline constexpr const char* AlreadyUnlocked = "This window is unlocked until it is closed.";
inline constexpr const char* NoUnlockHash =
    "This station cannot be unlocked: its system settings file holds no [Station] UnlockHash. "
    "Ask whoever looks after the station.";
inline constexpr const char* MalformedHash =
    "This station cannot be unlocked: [Station] UnlockHash in its system settings file is not a "
    "line that quill-cli --lock-password-hash prints. Ask whoever looks after the station.";
inline constexpr const char* WrongPassword = "Wrong password.";
inline constexpr const char* WaitBefore = "Next try in ";
inline constexpr const char* WaitAfter = " s.";

inline constexpr const char* PasswordPrompt = "Engineer's password: ";
inline constexpr const char* PasswordAgain = "Again: ";
inline constexpr const char* PasswordsDiffer =
    "quill-cli: the two passwords differ; nothing printed.";
inline constexpr const char* PasswordEmpty = "quill-cli: no password given; nothing printed.";
inline constexpr const char* HashFailed =
    "quill-cli: no random salt could be had from the system; nothing printed.";
inline constexpr const char* HashKey = "UnlockHash=";

} // namespace quill::lock::text
