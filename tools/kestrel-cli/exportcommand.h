#pragma once

#include <QList>
#include <QString>

class Node;

// `kestrel-cli export`: the nodes, aligned as a view of them aligns them, as
// Chrome trace-event JSON or an SQLite database.
namespace ExportCommand {

// Whether `name` is a format: chrome-json or sqlite.
bool isFormat(const QString &name);

// Writes the whole file at `path` or nothing: a file already there stays as
// it was when writing fails. Returns the message for the user, empty on success.
QString write(const QList<Node *> &nodes, const QString &format, const QString &path);

} // namespace ExportCommand
