// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
#include <QString>

namespace velmora {
// "http://" + host + "/m?rn=&tn=baidump3&ct=134217728&word=" + words + "&lm=0"
QString BuildSearchAddress(const QString &host, const QString &words);
}
