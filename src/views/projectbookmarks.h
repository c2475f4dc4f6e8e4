#pragma once

#include "trace/bookmarkstore.h"

#include <QObject>
#include <QSharedPointer>

// The bookmarks of one project directory as every view of it shares them:
// one instance per project while any view holds it, read from the store when
// the first view opens, written back at every change.
class ProjectBookmarks : public QObject
{
    Q_OBJECT
public:
    // The project's instance, read from its file on first use.
    static QSharedPointer<ProjectBookmarks> forProject(const QString &projectPath);
    ~ProjectBookmarks() override;

    const QList<Bookmark> &bookmarks() const { return m_store.bookmarks(); }
    int count() const { return int(bookmarks().size()); }
    // Each change is saved at once; an index out of range is ignored.
    void add(const Bookmark &bookmark);
    void remove(int index);
    void rename(int index, const QString &name);

    // Why the file was ignored when it was read, handed out once so that
    // the user is told once; empty when it was read or there was none.
    QString takeLoadError();

signals:
    void changed();
    // `message` is for the user.
    void saveFailed(const QString &message);

private:
    explicit ProjectBookmarks(const QString &projectPath);
    void commit(const QList<Bookmark> &bookmarks);

    BookmarkStore m_store;
    QString m_loadError;
};
