#pragma once

#include <QString>

class Node;
class ProjectTable;

// A broken expectation is a finding: it stops the fuzzer with the input kept.
#define FUZZ_REQUIRE(condition)                                                                              \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            FuzzSupport::fail(#condition, __FILE__, __LINE__);                                               \
    } while (false)

// What both harnesses share: a process set up like a headless viewer that
// touches nothing of the user's, and the load path every open request takes.
namespace FuzzSupport {

// Once per process, before the first input and before the harness makes its
// application object: a settings store and runtime directory in a private
// temporary directory.
void start();

// The open projects, and the catalogue they are read with (made on first use,
// so after the application object).
ProjectTable &projects();
// Loads the file as a viewer's open request would. A refused file is told
// exactly once, in a non-empty message that is counted, and gives null.
Node *load(const QString &path, int origin);
// The private temporary directory; removed when the process ends normally.
QString sandboxPath();
// Messages a user would have been shown since start().
int messageCount();
// Drops every project, then requires that none is left.
void closeEverything();

[[noreturn]] void fail(const char *condition, const char *file, int line);

} // namespace FuzzSupport
