#include "common/core/globals.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

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

static QString serverFromEnv(const char *name)
{
    const QString v = qEnvironmentVariable(name).trimmed();
    return v.isEmpty() ? QStringLiteral("127.0.0.1:8417") : v;
}

QString CatalogueServer() { return serverFromEnv("VELMORA_CATALOGUE_SERVER"); }
QString SearchServer() { return serverFromEnv("VELMORA_SEARCH_SERVER"); }

QString ProgramFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

bool FolderIsWritable(const QString &folder)
{
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".velmora-XXXXXX")));
    return probe.open();
}

} // namespace velmora
