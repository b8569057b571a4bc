// SPDX-License-Identifier: MIT
#pragma once
// A label of the station window, plain text, read from a step away: its
// font is `scale` times a size its owner sets as the window grows, and
// what does not fit is never cut silently. One line ends in an ellipsis
// ("…") with the whole text on hover; a label that wraps shrinks its font
// until the whole text fits its lines.

#include <QLabel>

namespace quill {

class StationLabel final : public QLabel {
    Q_OBJECT

  public:
    // `lines` > 1: the text wraps over that many lines.
    StationLabel(QWidget* parent, const char* name, double scale = 1, bool bold = false,
                 int lines = 1);

    void setWhole(const QString& text);
    const QString& whole() const { return m_whole; }
    // What hovering shows instead of the text that did not fit; empty: that.
    void setHover(const QString& text);
    // The size of the window's text, in pixels, that `scale` multiplies;
    // 0: the application's font.
    void setBase(double pixels);
    void setScale(double scale);
    double scale() const { return m_scale; }
    // Less than the whole text is shown.
    bool clipped() const;

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void fit();

    QString m_whole;
    QString m_hover;
    double m_scale;
    double m_base = 0;
    int m_lines;
};

// The same, for a label of the window's that keeps its font.
StationLabel* stationLabel(QWidget* parent, const char* name, double scale = 1, bool bold = false);

} // namespace quill
