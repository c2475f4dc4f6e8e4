#pragma once

#include <QSettings>
#include <QString>

namespace TestSupport {

// The temporary directory that holds this test process's settings store,
// data and runtime directories; removed when the process ends.
QString sandboxPath();

// Writes `contents` to `name` inside a fresh temporary directory of the sandbox
// and returns the file's absolute path.
QString writeTempFile(const QString &subdir, const QString &name, const QByteArray &contents);

// The store the program keeps its settings in, named here apart from the program so that a store
// it renamed shows.
QSettings settingsStore();

} // namespace TestSupport
