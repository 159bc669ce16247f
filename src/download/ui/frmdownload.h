#pragma once
#include <QString>

class QWidget;

namespace velmora {

// Runs one download in the download window and returns when it has ended
// (true = whole file received). The caller has disabled mainWindow; the
// download window enables it again when it closes.
bool StartDownload(QWidget *mainWindow, const QString &StrURL, QString &UserName, QString &Password);

} // namespace velmora
