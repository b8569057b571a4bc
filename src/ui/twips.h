// SPDX-License-Identifier: MIT
#pragma once
// The windows are designed in twips (1/1440 inch). Qt lays out in
// device-independent pixels of 1/96 inch, 15 twips each, and scales them
// itself on high-DPI screens.

#include <QRect>
#include <QSize>
#include <QWidget>

namespace quill {

inline constexpr int twipsPerPixel = 15;

constexpr int px(int twips) {
    return (twips + twipsPerPixel / 2) / twipsPerPixel;
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return {px(left), px(top), px(width), px(height)};
}

inline QSize twipsSize(int width, int height) {
    return {px(width), px(height)};
}

// The toolkit's fonts are not the design's: a control whose caption does
// not fit its designed size grows to the right and down. The design's
// sizes are the least a control gets.
inline void fitCaption(QWidget* control) {
    control->resize(control->size().expandedTo(control->sizeHint()));
}

} // namespace quill
