// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once
#include <QString>

namespace velmora {

struct FetchResult;

// How the search service answered: the view turns it into words.
enum class SearchOutcome {
    Answered,     // a result page came (it may hold no link)
    Unreachable,  // no answer: nothing listens there, or the connection failed
    ErrorAnswer,  // the service answered with an error status instead of a page
    Stopped,      // the fetch was cancelled: the window is closing
};
SearchOutcome SearchOutcomeOf(const FetchResult &page);
// "http://" + host + "/m?rn=&tn=baidump3&ct=134217728&word=" + words + "&lm=0"
QString BuildSearchAddress(const QString &host, const QString &words);
}
