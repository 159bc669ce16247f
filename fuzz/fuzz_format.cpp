// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The number patterns, size and duration texts and the figures shown per
// chunk. Input: three 64-bit figures, a double, a float, a flag, then a pattern.
#include "download/core/format.h"
#include "download/core/progress.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace velmora;
    fuzz::Input in(data, size);
    const auto received = in.take<qint64>();
    const auto total = in.take<qint64>();
    const auto start = in.take<qint64>();
    const auto value = in.take<double>();
    const auto seconds = in.take<float>();
    const auto flags = in.take<uint8_t>();
    // A pattern of at most a few hundred characters: longer ones only repeat.
    const QString pattern = QString::fromUtf8(in.rest().left(256));

    FormatNumber(value, pattern);
    FormatNumber(value, QStringLiteral("##0%"));
    FormatSize(value, pattern);
    FormatSize(value);
    FormatDuration(seconds);
    FormatDuration(float(value));
    RoundHalfToEven(value);

    const ProgressFigures f = ComputeProgress({received, total, start, (flags & 1) != 0, value, QStringLiteral("x")});
    FUZZ_CHECK(f.knobX >= 0 && f.knobX <= kSeekWidth - kKnobWidth);
    const int knob = KnobPositionFor(seconds);
    FUZZ_CHECK(knob >= 0 && knob <= kSeekWidth - kKnobWidth);
    CompletedTimeText(total, received);
    return 0;
}
