#pragma once

#include <QSettings>
#include <QString>

// The program's one settings store, in the platform's native form. Every
// reader and writer goes through here so that none can drift to another file.
inline QSettings openSettingsStore()
{
    return QSettings(QStringLiteral("Sarvek"), QStringLiteral("Kestrelview"));
}
