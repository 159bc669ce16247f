// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "download/core/progress.h"

#include "download/core/format.h"

#include <algorithm>
#include <cmath>

namespace velmora {

ProgressFigures ComputeProgress(const BodyFigures &body)
{
    ProgressFigures f;
    const qint64 received = body.received;
    const qint64 total = body.total;
    const double secondsSinceStart = body.secondsSinceStart;

    // Every figure goes to double before any subtraction: a server can announce
    // any 64-bit length, and the difference of two of them need not fit.
    const double copied = body.resume ? double(received) - double(body.startOffset) : double(received);
    const double rate = secondsSinceStart > 0 ? copied / secondsSinceStart : 0.0;

    // Nothing has arrived yet (an empty first chunk): there is no rate to
    // estimate from, so the time left stays blank instead of failing.
    QString timeLeft;
    if (rate > 0)
        timeLeft = FormatDuration(float((double(total) - double(received)) / rate));

    f.timeLabel = timeLeft + QStringLiteral(" (已复制 ") + FormatSize(double(received)) + QStringLiteral(", 共 ")
                  + FormatSize(double(total)) + QStringLiteral(")");
    f.rateLabel = FormatSize(rate, QStringLiteral("###.0")) + QStringLiteral("/秒");

    const double fraction = total > 0 ? double(received) / double(total) : 0.0;
    f.sngProgress = float(fraction);
    f.knobX = KnobPositionFor(f.sngProgress);

    f.completeLabel = FormatNumber(fraction, QStringLiteral("##0%")) + QStringLiteral(" 已完成 (") + body.localName
                      + QStringLiteral(")");
    return f;
}

int KnobPositionFor(float sngProgress)
{
    // The knob never leaves the bar, even if a server sends more than it
    // announced; a fraction that is no number at all leaves it at the start.
    if (!(sngProgress > 0.0f))
        return 0;
    const float p = std::min(sngProgress, 1.0f);
    return int(std::lround(float(kSeekWidth - kKnobWidth) * p));
}

QString CompletedTimeText(qint64 total, qint64 varElapsed)
{
    return FormatSize(double(total)) + QStringLiteral(" (共 ") + FormatDuration(float(varElapsed))
           + QStringLiteral(")");
}

QString AverageRateText(qint64 bytes, double seconds)
{
    const double rate = seconds > 0 ? double(bytes) / seconds : 0.0;
    return FormatSize(rate, QStringLiteral("###.0")) + QStringLiteral("/秒");
}

} // namespace velmora
