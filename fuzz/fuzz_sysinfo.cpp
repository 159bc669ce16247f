// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

// The readers of the system files behind the About window: the mount table,
// KEY=value files, /proc/meminfo, CPU lists, drive labels and UUIDs.
#include "about/core/linuxplatform.h"
#include "about/core/sysinforows.h"
#include "about/core/system.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace velmora;
    fuzz::Input in(data, size);
    const auto number = in.take<qint64>();
    const QByteArray file = in.rest();
    const QString text = QString::fromUtf8(file);

    const MountTable mounts = BuildMountTable(file);
    FUZZ_CHECK(mounts.entries.size() == mounts.byMountPoint.size());
    for (auto it = mounts.byMountPoint.constBegin(); it != mounts.byMountPoint.constEnd(); ++it)
        FUZZ_CHECK(mounts.entries.at(it.value()).mountPoint == it.key());

    ParseAssignments(file);
    qint64 totalKb = 0, availKb = 0;
    ParseMeminfo(file, totalKb, availKb);
    FUZZ_CHECK(totalKb >= -1 && availKb >= -1);
    CpuListToMask(text);
    FunctionKeysForCode(KeyboardCodeForModel(text));
    quint32 serial = 0;
    SerialFromUuid(text, serial);
    DecodeLabel(text);

    static System system;  // PutPoints asks the platform nothing
    system.PutPoints(number);
    System::BytesToKb(quint64(number));
    FormatGrouped(number);
    return 0;
}
