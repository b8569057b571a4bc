// SPDX-License-Identifier: MIT
#include "ui/frmabout.h"

#include "quillversion.h"
#include "ui/twips.h"
#include "ui/uitexts.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace quill {

namespace {

QLabel* label(QWidget* parent, const char* name, const char* text, QRect geometry) {
    auto* l = new QLabel(qtext(text), parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setTextFormat(Qt::PlainText);
    l->setGeometry(geometry);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

} // namespace

frmAbout::frmAbout()
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    // Created in tab order: the button takes the focus.
    auto* cmdOK = new QPushButton(qtext(text::Ok), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(twipsRect(3600, 2280, 1260, 345));
    // Enter presses it as the default button; Escape reaches reject().
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    QLabel* description =
        label(this, "lblDescription", text::AboutDescription, twipsRect(1050, 1125, 3885, 690));
    description->setWordWrap(true);
    QLabel* title = label(this, "F", text::AboutTitle, twipsRect(1050, 240, 3885, 480));
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.5);
    titleFont.setBold(true);
    title->setFont(titleFont);
    label(this, "lblVersion", text::VersionPrefix, twipsRect(1080, 780, 3885, 225));

    // Placed at its design position from the screen's top-left, not centred.
    const QPoint origin = QGuiApplication::primaryScreen()->geometry().topLeft();
    setGeometry(QRect(origin + QPoint(px(2340), px(1935)), twipsSize(5280, 2880)));
    setFixedSize(twipsSize(5280, 2880));
    Form_Load();
}

QString frmAbout::versionText() {
    return qtext(text::VersionPrefix) + QString::fromLatin1(QuillVersion);
}

void frmAbout::Form_Load() {
    setWindowTitle(qtext(text::AboutPrefix) + qtext(text::AppTitle));
    findChild<QLabel*>(QStringLiteral("lblVersion"))->setText(versionText());
}

// Line1: an etched rule above the button, a white line two pixels wide
// under a grey one of one pixel, on the same row.
void frmAbout::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    const int y = px(2040);
    painter.fillRect(QRect(QPoint(px(105), y), QPoint(px(5160), y + 1)), Qt::white);
    painter.fillRect(QRect(QPoint(px(120), y), QPoint(px(5160), y)), QColor(128, 128, 128));
}

} // namespace quill
