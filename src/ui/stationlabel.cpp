// SPDX-License-Identifier: MIT
#include "ui/stationlabel.h"

#include <QApplication>

#include <algorithm>

namespace quill {

namespace {

// A wrapped text that does not fit shrinks to no less than half its size.
constexpr double smallestShrink = 0.5;
constexpr double shrinkStep = 0.9;

} // namespace

StationLabel::StationLabel(QWidget* parent, const char* name, double scale, bool bold, int lines)
    : QLabel(parent), m_scale(scale), m_lines(std::max(lines, 1)) {
    setObjectName(QString::fromLatin1(name));
    setTextFormat(Qt::PlainText); // a port or a message is shown as written
    setWordWrap(m_lines > 1);
    setAlignment(Qt::AlignLeft | (m_lines > 1 ? Qt::AlignTop : Qt::AlignVCenter));
    QFont f = font();
    f.setBold(bold);
    setFont(f);
    fit();
}

StationLabel* stationLabel(QWidget* parent, const char* name, double scale, bool bold) {
    return new StationLabel(parent, name, scale, bold);
}

void StationLabel::setWhole(const QString& text) {
    if (text != m_whole) {
        m_whole = text;
        fit();
    }
}

void StationLabel::setHover(const QString& text) {
    m_hover = text;
    fit();
}

void StationLabel::setBase(double pixels) {
    if (pixels != m_base) {
        m_base = pixels;
        fit();
    }
}

void StationLabel::setScale(double scale) {
    if (scale != m_scale) {
        m_scale = scale;
        fit();
    }
}

bool StationLabel::clipped() const {
    if (m_lines > 1) {
        return heightForWidth(width()) > height();
    }
    return text() != m_whole;
}

// Small enough for the layout to narrow the label; its text then ends in
// an ellipsis.
QSize StationLabel::minimumSizeHint() const {
    return {fontMetrics().horizontalAdvance(QStringLiteral("W…")), sizeHint().height()};
}

QSize StationLabel::sizeHint() const {
    const QFontMetrics fm = fontMetrics();
    const int width = m_lines > 1 ? fm.averageCharWidth() * 20 : fm.horizontalAdvance(m_whole);
    return {width + 2 * margin(), m_lines * fm.lineSpacing() + 2 * margin()};
}

void StationLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

// The font for the size asked, and the text as it fits.
void StationLabel::fit() {
    const double pixels =
        (m_base > 0 ? m_base : QApplication::font().pointSizeF() * 4 / 3) * m_scale;
    QFont f = font();
    f.setPixelSize(std::max(1, static_cast<int>(pixels)));
    if (m_lines > 1) {
        // Shrunk while the whole of it does not fit the lines it has.
        setText(m_whole);
        setFont(f);
        for (double shrink = shrinkStep;
             width() > 0 && heightForWidth(width()) > height() && shrink >= smallestShrink;
             shrink *= shrinkStep) {
            f.setPixelSize(std::max(1, static_cast<int>(pixels * shrink)));
            setFont(f);
        }
    } else {
        setFont(f);
        // Measured as sizeHint() measures it: a text given its width shows whole.
        const int room = contentsRect().width();
        const bool fits = width() == 0 || fontMetrics().horizontalAdvance(m_whole) <= room;
        setText(fits ? m_whole : fontMetrics().elidedText(m_whole, Qt::ElideRight, room));
    }
    setToolTip(!m_hover.isEmpty() ? m_hover : clipped() ? m_whole : QString());
    updateGeometry();
}

} // namespace quill
