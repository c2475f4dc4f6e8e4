#pragma once

#include <QString>
#include <QStringList>

// The viewer's command line is trace file paths. The only other words it
// knows ask for a text instead of a window, so they are answered before any
// display is opened: "kestrelview --help" works on a plain terminal.
enum class InformationRequest { None, Help, Version };

// The first of -h/--help or -v/--version among `arguments` (the program name
// first, then the arguments as given); None when there is neither.
InformationRequest informationRequest(const QStringList &arguments);

// What --help prints: usage, options and arguments, as the manual page says.
QString helpText();

// What --version prints: the program name and version, one line.
QString versionText();

// Prints the text that argv asks for to standard output and returns true, or
// returns false, printing nothing, when argv asks for none.
bool answerInformationRequest(int argc, char **argv);
