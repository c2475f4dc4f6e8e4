#pragma once

#include <QByteArray>
#include <QMap>
#include <QSettings>
#include <QString>

namespace TestSupport {

// The temporary directory that holds this test process's settings store,
// data and runtime directories; removed when the process ends.
QString sandboxPath();

// Writes `contents` to `name` inside a fresh temporary directory of the sandbox
// and returns the file's absolute path.
QString writeTempFile(const QString &subdir, const QString &name, const QByteArray &contents);

// Every file under `dir`, hidden ones too, by its path relative to `dir`, with its contents; a folder
// as its path and a slash, without contents.
QMap<QString, QByteArray> filesUnder(const QString &dir);

// The store the program keeps its settings in, named here apart from the program so that a store
// it renamed shows.
QSettings settingsStore();

} // namespace TestSupport
