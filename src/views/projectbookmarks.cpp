#include "views/projectbookmarks.h"

#include <QHash>
#include <QWeakPointer>

namespace {

// By the store's canonical project path.
QHash<QString, QWeakPointer<ProjectBookmarks>> &openProjects()
{
    static QHash<QString, QWeakPointer<ProjectBookmarks>> projects;
    return projects;
}

} // namespace

QSharedPointer<ProjectBookmarks> ProjectBookmarks::forProject(const QString &projectPath)
{
    const QString key = BookmarkStore(projectPath).projectPath();
    QSharedPointer<ProjectBookmarks> shared = openProjects().value(key).toStrongRef();
    if (!shared) {
        shared.reset(new ProjectBookmarks(projectPath));
        openProjects().insert(key, shared);
    }
    return shared;
}

ProjectBookmarks::ProjectBookmarks(const QString &projectPath)
    : m_store(projectPath)
{
    if (!m_store.load())
        m_loadError = m_store.error();
}

ProjectBookmarks::~ProjectBookmarks()
{
    // Only the entry of this instance: a new one may already stand there.
    const auto entry = openProjects().constFind(m_store.projectPath());
    if (entry != openProjects().cend() && !entry->toStrongRef())
        openProjects().remove(m_store.projectPath());
}

void ProjectBookmarks::add(const Bookmark &bookmark)
{
    commit(bookmarks() + QList<Bookmark>{bookmark});
}

void ProjectBookmarks::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    QList<Bookmark> list = bookmarks();
    list.removeAt(index);
    commit(list);
}

void ProjectBookmarks::rename(int index, const QString &name)
{
    if (index < 0 || index >= count() || bookmarks().at(index).name == name)
        return;
    QList<Bookmark> list = bookmarks();
    list[index].name = name;
    commit(list);
}

QString ProjectBookmarks::takeLoadError()
{
    return std::exchange(m_loadError, QString());
}

void ProjectBookmarks::commit(const QList<Bookmark> &bookmarks)
{
    m_store.setBookmarks(bookmarks);
    if (!m_store.save())
        emit saveFailed(m_store.error());
    emit changed();
}
