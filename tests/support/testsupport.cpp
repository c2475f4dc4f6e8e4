#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

namespace {

QTemporaryDir *sandbox()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/kestrel-test-XXXXXX"));
    return &dir;
}

// Runs before any test function: no test may read or write the user's own
// settings or data (bookmarks), nor meet a running viewer's hand-off socket.
void isolateFromUser()
{
    const QString root = sandbox()->path();
    QDir(root).mkpath(QStringLiteral("config"));
    QDir(root).mkpath(QStringLiteral("runtime"));
    QDir(root).mkpath(QStringLiteral("data"));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/config")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root + QStringLiteral("/runtime")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + QStringLiteral("/data")));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, root + QStringLiteral("/config"));
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, root + QStringLiteral("/config"));
}

} // namespace

Q_CONSTRUCTOR_FUNCTION(isolateFromUser)

namespace TestSupport {

QString sandboxPath()
{
    return sandbox()->path();
}

QString writeTempFile(const QString &subdir, const QString &name, const QByteArray &contents)
{
    const QString dir = sandbox()->path() + QStringLiteral("/files/") + subdir;
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write test file %s", qPrintable(path));
    file.write(contents);
    return QFileInfo(path).absoluteFilePath();
}

QMap<QString, QByteArray> filesUnder(const QString &dir)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        const QString name = QDir(dir).relativeFilePath(file.fileName());
        if (it.fileInfo().isDir())
            files.insert(name + QLatin1Char('/'), QByteArray());
        else if (file.open(QIODevice::ReadOnly))
            files.insert(name, file.readAll());
    }
    return files;
}

QSettings settingsStore()
{
    return QSettings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
}

} // namespace TestSupport
