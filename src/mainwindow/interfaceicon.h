#pragma once

#include <QIcon>
#include <QString>

// The resource path of an icon file of the program's own interface.
inline QString interfaceIconPath(const char *file)
{
    return QStringLiteral(":/interface/resources/") + QLatin1String(file);
}

inline QIcon interfaceIcon(const char *file)
{
    return QIcon(interfaceIconPath(file));
}
