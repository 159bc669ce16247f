// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
// Readers for the few header values the download engine acts on.
#include <QByteArray>
#include <QtGlobal>

namespace velmora {

// Leading decimal digits of a header value as a number (0 when none, or when
// the digits are more than any file length).
qint64 LeadingNumber(const QByteArray &text);

// Start of the byte range a 206 answer carries ("bytes <from>-<to>/<size>");
// -1 when unreadable.
qint64 ContentRangeStart(const QByteArray &value);

} // namespace velmora
