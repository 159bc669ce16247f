#pragma once
// The figures shown after each received chunk.
#include <QString>
#include <QtGlobal>

namespace velmora {

constexpr int kSeekWidthTwips = 6360;   // picSeek
constexpr int kSeekHeightTwips = 1665;
constexpr int kKnobWidthTwips = 2115;   // imgResWith
constexpr int kTwipsPerPixel = 15;

struct ProgressFigures
{
    QString timeLabel;      // TimeLabel caption
    QString rateLabel;      // RateLabel caption
    QString completeLabel;  // CompleteLabel text
    float sngProgress = 0;  // received / total
    int knobTwips = 0;      // filled length handed to DrawSeek
};

// secondsSinceStart: clock now minus the start time (which already lies one
// second before the length request finished).
ProgressFigures ComputeProgress(qint64 received, qint64 total, qint64 startOffset, bool resume,
                                double secondsSinceStart, const QString &localName);

// The filled length of the bar in twips for a fraction received / total:
// 0 for anything not above 0 (NaN included), the full length from 1 on.
int KnobTwipsFor(float sngProgress);

// The TimeLabel text after a complete download.
QString CompletedTimeText(qint64 total, qint64 varElapsed);

} // namespace velmora
