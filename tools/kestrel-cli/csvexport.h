#pragma once

#include <QString>
#include <QTextStream>

class Node;

// What kestrel-cli writes: RFC 4180 CSV with a header row, and a readable summary.
namespace CsvExport {

// A field quoted when it holds a comma, a quote or a line break.
QString field(const QString &text);
// 9 significant digits: enough to tell every single-precision value apart.
QString floatField(float value);

void writeEvents(QTextStream &out, const Node &node);
void writeTasks(QTextStream &out, const Node &node);
void writeHubs(QTextStream &out, const Node &node);
void writeSummary(QTextStream &out, const Node &node);

} // namespace CsvExport
