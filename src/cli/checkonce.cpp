// SPDX-License-Identifier: MIT
#include "cli/checkonce.h"

#include "hexfile/filecheck.h"
#include "hexfile/hexfile.h"
#include "hexfile/hexfiletexts.h"
#include "hexfile/stdhexfile.h"
#include "shared/module1.h"

namespace quill::cli {

CheckedOnce checkFileOnce(const std::string& path, MessageBoxes& boxes) {
    Module1 m;
    StdHexFile file;
    CheckedOnce result;
    open_hex_file(m, file, boxes, path);
    if (!m.hex_file_open) {
        result.refused = DownloadEnd::FileError; // "Open file error" has been shown
        return result;
    }
    std::string line;
    const FileCheck check = checkHexFile(file, m.hex_table, line);
    const auto askedAbout = [&](const char* question, DownloadEnd refusedAs) {
        // The same question the download asks; the devices will ask it
        // again and get the same answer.
        if (boxes.MsgBox(question, MsgButtons::OkCancel, MsgIcon::None, MsgResult::Cancel) !=
            MsgResult::Ok) {
            result.refused = refusedAs;
        }
    };
    switch (check.verdict) {
    case FileVerdict::Refused:
        boxes.MsgBox(refusalText(check));
        result.refused = check.end;
        return result;
    case FileVerdict::NoEndRecord:
        askedAbout(text::NoEndRecord, DownloadEnd::NoEndRecord);
        break;
    case FileVerdict::RecordsAfterEnd:
        askedAbout(text::RecordsAfterEnd, DownloadEnd::RecordsAfterEnd);
        break;
    case FileVerdict::Whole:
        break;
    }
    if (result.refused) {
        return result;
    }
    result.totals = countDownload(file, m.hex_table);
    file.close();
    return result;
}

} // namespace quill::cli
