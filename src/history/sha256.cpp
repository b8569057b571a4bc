// SPDX-License-Identifier: MIT
#include "history/sha256.h"

#include "history/historytexts.h"

#include <QCryptographicHash>
#include <QFile>

namespace quill {

namespace {

// Large enough that the reading costs few calls, small enough to stay in
// the cache.
constexpr qsizetype ChunkBytes = 64 * 1024;

} // namespace

HistoryResult<std::string> fileSha256(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return HistoryError{text::FileNotHashed, path, file.errorString().toStdString()};
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray piece(ChunkBytes, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(piece.data(), piece.size());
        if (got < 0) {
            return HistoryError{text::FileNotHashed, path, file.errorString().toStdString()};
        }
        if (got == 0) {
            return hash.result().toHex().toStdString();
        }
        hash.addData(QByteArrayView(piece.data(), got));
    }
}

} // namespace quill
