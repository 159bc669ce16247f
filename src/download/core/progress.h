#pragma once
// The figures shown after each received chunk.
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

// secondsSinceStart: clock now minus the start time (which already lies one
// second before the length request finished).
ProgressFigures ComputeProgress(qint64 received, qint64 total, qint64 startOffset, bool resume,
                                double secondsSinceStart, const QString &localName);

// The filled length of the bar for a fraction received / total: 0 for
// anything not above 0 (NaN included), the full length from 1 on.
int KnobPositionFor(float sngProgress);

// The TimeLabel text after a complete download.
QString CompletedTimeText(qint64 total, qint64 varElapsed);

} // namespace velmora
