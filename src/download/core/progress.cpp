#include "download/core/progress.h"

#include "download/core/format.h"

#include <algorithm>
#include <cmath>

namespace velmora {

ProgressFigures ComputeProgress(qint64 received, qint64 total, qint64 startOffset, bool resume,
                                double secondsSinceStart, const QString &localName)
{
    ProgressFigures f;

    const double copied = double(resume ? received - startOffset : received);
    const double rate = secondsSinceStart > 0 ? copied / secondsSinceStart : 0.0;

    // Nothing has arrived yet (an empty first chunk): there is no rate to
    // estimate from, so the time left stays blank instead of failing.
    QString timeLeft;
    if (rate > 0)
        timeLeft = FormatDuration(float(double(total - received) / rate));

    f.timeLabel = timeLeft + QStringLiteral(" (已复制 ") + FormatSize(double(received)) + QStringLiteral(", 共 ")
                  + FormatSize(double(total)) + QStringLiteral(")");
    f.rateLabel = FormatSize(rate, QStringLiteral("###.0")) + QStringLiteral("/秒");

    const double fraction = total > 0 ? double(received) / double(total) : 0.0;
    f.sngProgress = float(fraction);
    // The knob never leaves the bar, even if a server sends more than it announced.
    const float clamped = std::clamp(f.sngProgress, 0.0f, 1.0f);
    f.knobTwips = int(std::floor(float(kSeekWidthTwips - kKnobWidthTwips) * clamped));

    f.completeLabel = FormatNumber(fraction, QStringLiteral("##0%")) + QStringLiteral(" 已完成 (") + localName
                      + QStringLiteral(")");
    return f;
}

QString CompletedTimeText(qint64 total, qint64 varElapsed)
{
    return FormatSize(double(total)) + QStringLiteral(" (共 ") + FormatDuration(float(varElapsed))
           + QStringLiteral(")");
}

} // namespace velmora
