// SPDX-License-Identifier: MIT
#include "ui/qtmessageboxes.h"

#include "ui/uitexts.h"

#include <QMessageBox>

namespace quill {

MsgResult QtMessageBoxes::MsgBox(const std::string& text, MsgButtons buttons, MsgIcon icon,
                                 MsgResult defaultButton) {
    const QMessageBox::StandardButtons shown =
        buttons == MsgButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok;
    // No parent: the window that is active now (the wait dialog, say) may be
    // destroyed by a handler while this box is open.
    QMessageBox box(icon == MsgIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                    qtext(text::AppTitle), shownText(text), shown);
    box.setObjectName(QStringLiteral("MsgBox"));
    // Messages may name a path or a device: shown as written, never as markup.
    box.setTextFormat(Qt::PlainText);
    const bool cancelFirst = buttons == MsgButtons::OkCancel && defaultButton == MsgResult::Cancel;
    box.setDefaultButton(cancelFirst ? QMessageBox::Cancel : QMessageBox::Ok);
    // Closing by the frame presses Cancel where there is one, else OK.
    box.exec();
    return box.clickedButton() == box.button(QMessageBox::Ok) ? MsgResult::Ok : MsgResult::Cancel;
}

bool askStopAndClose(QWidget* window, size_t devices) {
    const QString question =
        devices == 1 ? qtext(text::StopAndCloseOne) : qtext(text::StopAndCloseMany).arg(devices);
    QMessageBox box(QMessageBox::Question, qtext(text::AppTitle), question,
                    QMessageBox::Yes | QMessageBox::No, window);
    box.setObjectName(QStringLiteral("MsgBox"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

} // namespace quill
