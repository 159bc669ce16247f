// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The catalogue list: cutting the text into lines and each line into its fields.
#include "catalogue/core/listformat.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace velmora;
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList lines = SplitListLines(text);
    qsizetype total = 0;
    for (const QString &line : lines) {
        FUZZ_CHECK(!line.contains(QLatin1Char('\r')));
        total += line.size();
        ListEntry entry;
        if (CutListLine(line, entry)) {
            FUZZ_CHECK(entry.URL + QStringLiteral("::=") + entry.Key + QStringLiteral("::=") + entry.Category == line);
            FUZZ_CHECK(!entry.URL.contains(QStringLiteral("::=")));
            FUZZ_CHECK(!entry.Key.contains(QStringLiteral("::=")));
        }
    }
    FUZZ_CHECK(total <= text.size());
    return 0;
}
