#include "exportcommand.h"

#include "sqliteexport.h"

#include "chart/packetinputs.h"
#include "chart/viewroot.h"
#include "trace/traceeventjson.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

QString cannotWrite(const QString &path, const QString &reason)
{
    return QStringLiteral("Can't write '%1': %2").arg(path, reason);
}

QString writeJson(const QVector<PacketNodeInput> &inputs, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return cannotWrite(path, file.errorString());
    file.write(traceEventJson(inputs).toJson(QJsonDocument::Compact));
    if (!file.commit())
        return cannotWrite(path, file.errorString());
    return QString();
}

// Into a new file beside the target, renamed over it once complete: rename()
// replaces the target in one step, so no reader sees half a database.
QString writeSqlite(const QVector<PacketNodeInput> &inputs, const QString &path)
{
    const QFileInfo target(path);
    QTemporaryFile file(target.absoluteDir().filePath(QStringLiteral(".%1.XXXXXX").arg(target.fileName())));
    if (!file.open())
        return cannotWrite(path, file.errorString());
    file.close();
    const QString error = SqliteExport::write(file.fileName(), inputs);
    if (!error.isEmpty())
        return cannotWrite(path, error);
    // A temporary file is private to its owner; the database is a file like any other.
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        return cannotWrite(path, QString::fromLocal8Bit(std::strerror(errno)));
    file.setAutoRemove(false);
    return QString();
}

} // namespace

namespace ExportCommand {

bool isFormat(const QString &name)
{
    return name == QLatin1String("chrome-json") || name == QLatin1String("sqlite");
}

QString write(const QList<Node *> &nodes, const QString &format, const QString &path)
{
    ViewRoot root;
    for (Node *node : nodes)
        root.addViewedNode(node);
    const QVector<PacketNodeInput> inputs = packetInputs(root);
    return format == QLatin1String("sqlite") ? writeSqlite(inputs, path) : writeJson(inputs, path);
}

} // namespace ExportCommand
