// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// The figures shown after each received chunk: the engine hands over the
// numbers, and the texts are made from them only when they reach the screen.
#include <QString>
#include <QtGlobal>

namespace velmora {

// The progress bar of the download window, in pixels: the knob rides on the
// end of the filled part, so the filled length runs from 0 to
// kSeekWidth - kKnobWidth.
constexpr int kSeekWidth = 424;
constexpr int kSeekHeight = 111;
constexpr int kKnobWidth = 141;

struct ProgressFigures
{
    QString timeLabel;      // TimeLabel caption
    QString rateLabel;      // RateLabel caption
    QString completeLabel;  // CompleteLabel text
    float sngProgress = 0;  // received / total
    int knobX = 0;          // filled length handed to DrawSeek
};

// Where the body of a download stands, as numbers. Cheap to hand over for
// every chunk; the texts cost something and are made only to be shown.
struct BodyFigures
{
    qint64 received = 0;     // the write offset plus the bytes received since
    qint64 total = 0;        // the file's length
    qint64 startOffset = 0;  // first byte of this transfer (the rate counts from it when resuming)
    bool resume = false;
    // Clock now minus the start time (which already lies one second before
    // the length request finished).
    double secondsSinceStart = 0;
    QString localName;       // the file name shown in CompleteLabel
};

ProgressFigures ComputeProgress(const BodyFigures &body);

// The filled length of the bar for a fraction received / total: 0 for
// anything not above 0 (NaN included), the full length from 1 on.
int KnobPositionFor(float sngProgress);

// The TimeLabel text after a complete download.
QString CompletedTimeText(qint64 total, qint64 varElapsed);

// The RateLabel text after a complete download: `bytes` over `seconds`.
QString AverageRateText(qint64 bytes, double seconds);

} // namespace velmora
