#pragma once

#include <QList>
#include <QString>

// A named place in a project's traces: a time of one node on that node's own
// clock, so that it stays on its event however the view aligns the nodes.
struct Bookmark
{
    QString name;
    QString node;    // the node's trace file name, unique within the project
    qint64 time = 0; // microseconds since the node's first event

    bool operator==(const Bookmark &other) const
    {
        return name == other.name && node == other.node && time == other.time;
    }
};

// The bookmarks of one project directory, kept in a JSON file of their own
// in the user's data directory, never beside the traces (which may be
// read-only or shared). The file is named from a hash of the project's
// canonical path and holds that path too, so that a file written for another
// project is recognised and not taken for this one's.
class BookmarkStore
{
public:
    // The bookmarks of the project at `projectPath`, kept under `directory`.
    explicit BookmarkStore(const QString &projectPath, const QString &directory = defaultDirectory());

    // "bookmarks" in the application's data location.
    static QString defaultDirectory();

    QString projectPath() const { return m_projectPath; }
    QString filePath() const { return m_filePath; }
    const QList<Bookmark> &bookmarks() const { return m_bookmarks; }
    void setBookmarks(const QList<Bookmark> &bookmarks) { m_bookmarks = bookmarks; }

    // Reads the file. No file is no bookmarks. A file that cannot be read or
    // parsed, or that belongs to another project, leaves no bookmarks and
    // false, with the reason in error().
    bool load();
    // Replaces the file at once, never leaving half of it; false with the
    // reason in error() when it cannot be written.
    bool save();
    // The user's message for the last failed load() or save().
    QString error() const { return m_error; }

private:
    bool ignore(const QString &reason);
    bool notSaved(const QString &reason);

    QString m_projectPath; // canonical where the directory exists
    QString m_filePath;
    QList<Bookmark> m_bookmarks;
    QString m_error;
};
