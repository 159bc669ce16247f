#include "catalogue/core/catalogueload.h"

#include "catalogue/core/inet.h"
#include "catalogue/core/listformat.h"
#include "catalogue/core/pagescan.h"
#include "common/core/globals.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <utility>

namespace velmora {

QString TempListPath(const QString &programFolder)
{
    if (FolderIsWritable(programFolder))
        return QDir(programFolder).filePath(QStringLiteral("temp.dat"));
    QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (cache.isEmpty())
        cache = QDir::tempPath();
    QDir().mkpath(cache);
    return QDir(cache).filePath(QStringLiteral("temp.dat"));
}

void NodeClick(CatalogueTree &tree, CatalogueState &state, qsizetype index)
{
    if (!tree.exists(index))
        return;
    const bool noTag = tree.tag(index).isEmpty();
    const qsizetype opened = state.intExpandedIndex;
    if (opened != 0 && opened != 1 && opened != 2 && noTag && opened != index)
        tree.setExpanded(opened, false);
    if (noTag) {
        state.intExpandedIndex = index;
        if (!tree.isExpanded(index))
            tree.setExpanded(index, true);
    }
    state.intSelectedIndex = index;
}

void CatalogueLoader::InitNode()
{
    m_tree.clear();
    m_state.intNodeCount = 1;
    m_state.intSelectedIndex = 0;
    m_state.intExpandedIndex = 0;
    const qsizetype root = m_tree.addNode(QString(), kRootKey, kRootText, ImageRootOrItem);
    m_tree.setExpanded(root, true);
}

void CatalogueLoader::LoadTrackList(const QString &URL, const QString &Key, const QString &Category)
{
    if (m_state.blnQuit)
        return;
    const QString groupKey = GroupKey(Category);
    qsizetype group = m_tree.addNode(kRootKey, groupKey, Category, ImageGroup);
    if (group == 0)
        group = m_tree.indexOfKey(groupKey);  // the group exists: it receives these items too
    if (m_state.intNodeCount == 1)
        m_tree.setExpanded(group, true);
    if (m_state.blnQuit)
        return;

    const QString page = m_inet.OpenURL(URL);
    if (m_state.blnQuit)
        return;
    ScanPage(page, Key, [&](const QString &address, const QString &text) {
        ++m_state.intNodeCount;
        m_tree.addNode(groupKey, ItemKey(m_state.intNodeCount), text, ImageRootOrItem, address);
        return !m_state.blnQuit;
    });
}

bool CatalogueLoader::LoadCatalogue(const QString &listUrl, const std::function<void()> &badEntry)
{
    const QString list = m_inet.OpenURL(listUrl);
    InitNode();

    // The list goes through a temporary file, read back line by line. Should
    // the file not be writable, the text in hand is read instead: the
    // catalogue is not lost to a disk problem.
    const QString path = TempListPath();
    QStringList lines;
    {
        QFile out(path);
        bool written = false;
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            const QByteArray bytes = list.toUtf8();
            written = out.write(bytes) == bytes.size();
            out.close();
        }
        QFile in(path);
        if (written && in.open(QIODevice::ReadOnly))
            lines = SplitListLines(QString::fromUtf8(in.readAll()));
        else
            lines = SplitListLines(list);
    }

    bool finished = true;
    for (const QString &line : std::as_const(lines)) {
        if (m_state.blnQuit) {
            finished = false;
            break;
        }
        if (line.isEmpty())
            continue;
        ListEntry entry;
        if (CutListLine(line, entry)) {
            if (m_state.blnQuit) {
                finished = false;
                break;
            }
            LoadTrackList(entry.URL, entry.Key, entry.Category);
        } else if (badEntry) {
            badEntry();
        }
    }
    QFile::remove(path);
    return finished && !m_state.blnQuit;
}

} // namespace velmora
