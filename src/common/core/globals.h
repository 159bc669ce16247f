#pragma once
// The program's shared module: the variables every window may read or write,
// the product title, and where the program finds its servers.
#include <QString>

namespace velmora {

inline const QString kProductTitle = QStringLiteral("Velmora 1.13");
inline const QString kVersion = QStringLiteral("1.13");

// Shared module variables (all start False, 0 or empty).
extern bool blnAnimeMode;            // true = anime downloads, false = anime music
extern bool blnExitOnChooserClose;   // closing the chooser ends the program
extern QString strListURL;           // catalogue list address of the chosen kind
extern QString strSearchWord;        // words typed into the search dialog

// Puts every shared variable back to its start value (tests, a fresh start).
void ResetGlobals();

// The shell's shared state (blnAnimeMode, blnExitOnChooserClose) changes
// only through these two.
// The chooser is up, or the main window is handing back to it: closing the
// chooser without a pick now ends the program.
void ChooserAwaitsPick();
// A catalogue kind was picked: the main window opens for it, and the chooser
// closing behind it no longer ends the program.
void CatalogueChosen(bool animeMode);

// host[:port] of the catalogue server: VELMORA_CATALOGUE_SERVER or 127.0.0.1:8417.
QString CatalogueServer();
// host[:port] of the music search service: VELMORA_SEARCH_SERVER or 127.0.0.1:8417.
QString SearchServer();

// The folder the executable was started from.
QString ProgramFolder();
// True when a file can be created in the folder.
bool FolderIsWritable(const QString &folder);

} // namespace velmora
