// SPDX-License-Identifier: MIT
#pragma once
// Texts of the hex file handling, exactly as the user sees them. "\r" joins
// the lines of one message.

namespace quill::text {

inline constexpr const char* OpenFileError = "Open file error";
inline constexpr const char* FileCloseError = "Error during file close";
inline constexpr const char* InvalidRecord = "Invalid data error in hex record\rDownload cancelled";
inline constexpr const char* DownloadComplete = "Download complete";
// Our own: the file could not be read to its end.
inline constexpr const char* ReadError = "Error reading hex file\rDownload cancelled";
// Our own: what the check before the download refuses, and a file that
// changed after it.
inline constexpr const char* NoRecords = "No hex records in file\rDownload cancelled";
inline constexpr const char* NoEndRecord =
    "The hex file has no end record and may be incomplete.\rDownload anyway?";
// Our own: the line the check refused, on a line after the message: "Line
// 12" and what was wrong with it.
inline constexpr const char* DetailLinePrefix = "Line ";
inline constexpr const char* DetailNotHex = ": a character that is not a hex digit";
inline constexpr const char* DetailCutShort = ": the record is cut short";
inline constexpr const char* DetailTooLong = ": longer than any record can be";
inline constexpr const char* DetailGlued = ": a second record follows the checksum";
inline constexpr const char* DetailIndented =
    ": the record does not start at the beginning of its line";
// printf format: the checksum in the file, and the one the record's bytes call for.
inline constexpr const char* DetailChecksum = ": checksum %02X in the file, %02X computed";
// Our own: record lines follow the first end record (two hex files joined).
inline constexpr const char* RecordsAfterEnd =
    "The hex file holds records after its end record; they will not be sent.\rDownload anyway?";
inline constexpr const char* FileChanged =
    "The hex file changed during the download\rDownload cancelled";

// Our own: a file was chosen while a download ran.
inline constexpr const char* StoppedForNewChoice = "Download stopped: another file was chosen";

inline constexpr const char* OpenDialogFilter = "Hex files (*.hex)|*.hex|All files (*.*)|*.*";

} // namespace quill::text
