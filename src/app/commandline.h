#pragma once

// The viewer's command line is trace file paths. The only other words it
// knows, -h/--help and -v/--version, ask for a text instead of a window, so
// they are answered before any display is opened: "kestrelview --help" works
// on a plain terminal.

// Prints the text that argv asks for (the first of those options wherever it
// stands among the arguments) to standard output and returns true; returns
// false, printing nothing, when argv asks for none.
bool answerInformationRequest(int argc, char **argv);
