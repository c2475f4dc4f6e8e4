#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

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
// start(), then the QCoreApplication of a harness that needs no display.
void startCore(const char *name);

// The open projects, and the catalogue they are read with (made on first use,
// so after the application object).
ProjectTable &projects();
// Loads the file as a viewer's open request would. A refused file is told
// exactly once, in a non-empty message that is counted, and gives null.
Node *load(const QString &path, int origin);
// The private temporary directory; removed when the process ends normally.
QString sandboxPath();
// Writes one input to <sandbox>/<folder>/input.trace and returns that path,
// the same for every input of the process.
QString writeInput(const char *folder, const std::uint8_t *data, std::size_t size);
// Messages a user would have been shown since start().
int messageCount();
// Drops every project, then requires that none is left.
void closeEverything();

[[noreturn]] void fail(const char *condition, const char *file, int line);

} // namespace FuzzSupport
