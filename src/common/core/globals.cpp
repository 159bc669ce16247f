// SPDX-FileCopyrightText: 2026 Velmora developers
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include "common/core/globals.h"

namespace velmora {

bool blnAnimeMode = false;
bool blnExitOnChooserClose = false;
QString strListURL;
QString strSearchWord;

void ResetGlobals()
{
    blnAnimeMode = false;
    blnExitOnChooserClose = false;
    strListURL.clear();
    strSearchWord.clear();
}

void ChooserAwaitsPick()
{
    blnExitOnChooserClose = true;
}

void CatalogueChosen(bool animeMode)
{
    blnAnimeMode = animeMode;
    blnExitOnChooserClose = false;
}

} // namespace velmora
