// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// picSeek: the drawn progress bar of the download window, with the picture
// that rides on the end of the bar. It only shows the progress.
#include <QImage>
#include <QWidget>

namespace velmora {

class SeekBar : public QWidget
{
    Q_OBJECT
public:
    explicit SeekBar(QWidget *parent = nullptr);

    // Draws the bar filled to seekLength pixels with the
    // knob at its end. Stores what to draw and schedules a repaint.
    void DrawSeek(int seekLength);
    // The knob position for a fraction received / total, then DrawSeek.
    void setProgress(float sngProgress);
    static int KnobPosition(float sngProgress);

    int seekLength() const { return m_seekLength; }
    // The share of the bar that is filled, in whole percent (0 to 100).
    int percent() const;

    // The pictures: the 1 x 9 bar texture and the 141 x 111 knob, the knob
    // drawn for a device pixel ratio.
    static QImage SeekTexture();
    static QImage KnobPicture(qreal dpr = 1.0);

    static constexpr int kBarTopPx = 84;
    static constexpr int kBarHeightPx = 9;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_seekLength = 0;
    QImage m_knob;  // at the ratio last painted at
};

} // namespace velmora
