#include "trace/bookmarkstore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QLatin1String projectKey("project");
const QLatin1String bookmarksKey("bookmarks");
const QLatin1String nameKey("name");
const QLatin1String nodeKey("node");
const QLatin1String timeKey("time");

QString canonicalProjectPath(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : canonical;
}

bool readBookmark(const QJsonValue &value, Bookmark &bookmark)
{
    const QJsonObject object = value.toObject();
    const QJsonValue time = object.value(timeKey);
    if (!object.value(nameKey).isString() || !object.value(nodeKey).isString() || !time.isDouble())
        return false;
    bookmark.name = object.value(nameKey).toString();
    bookmark.node = object.value(nodeKey).toString();
    // Node times are unsigned 32-bit microseconds: anything else is damage.
    const double micros = time.toDouble();
    if (!(micros >= 0.0 && micros <= 4294967295.0))
        return false;
    bookmark.time = qint64(micros);
    return true;
}

} // namespace

BookmarkStore::BookmarkStore(const QString &projectPath, const QString &directory)
    : m_projectPath(canonicalProjectPath(projectPath))
{
    const QByteArray hash =
        QCryptographicHash::hash(m_projectPath.toUtf8(), QCryptographicHash::Sha1).toHex();
    m_filePath = directory + QLatin1Char('/') + QString::fromLatin1(hash) + QLatin1String(".json");
}

QString BookmarkStore::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QLatin1String("/bookmarks");
}

bool BookmarkStore::load()
{
    m_bookmarks.clear();
    m_error.clear();
    QFile file(m_filePath);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return ignore(file.errorString());
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return ignore(QStringLiteral("it is not a bookmark file"));
    const QJsonObject root = document.object();
    if (root.value(projectKey).toString() != m_projectPath)
        return ignore(QStringLiteral("it belongs to another project"));
    QList<Bookmark> bookmarks;
    for (const QJsonValue &value : root.value(bookmarksKey).toArray()) {
        Bookmark bookmark;
        if (!readBookmark(value, bookmark))
            return ignore(QStringLiteral("it is damaged"));
        bookmarks.append(bookmark);
    }
    m_bookmarks = bookmarks;
    return true;
}

bool BookmarkStore::save()
{
    m_error.clear();
    QJsonArray list;
    for (const Bookmark &bookmark : std::as_const(m_bookmarks)) {
        list.append(QJsonObject{
            {nameKey, bookmark.name}, {nodeKey, bookmark.node}, {timeKey, double(bookmark.time)}});
    }
    const QJsonObject root{{projectKey, m_projectPath}, {bookmarksKey, list}};
    if (!QDir().mkpath(QFileInfo(m_filePath).absolutePath()))
        return notSaved(QStringLiteral("its folder cannot be made"));
    QSaveFile file(m_filePath);
    if (!file.open(QIODevice::WriteOnly))
        return notSaved(file.errorString());
    file.write(QJsonDocument(root).toJson());
    if (!file.commit())
        return notSaved(file.errorString());
    return true;
}

bool BookmarkStore::ignore(const QString &reason)
{
    m_error = QStringLiteral("The bookmark file %1 was ignored: %2.")
                  .arg(QDir::toNativeSeparators(m_filePath), reason);
    return false;
}

bool BookmarkStore::notSaved(const QString &reason)
{
    m_error = QStringLiteral("The bookmarks could not be saved to %1: %2.")
                  .arg(QDir::toNativeSeparators(m_filePath), reason);
    return false;
}
