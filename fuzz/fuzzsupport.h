#pragma once

#include <QString>

class Tracer;

// A broken expectation is a finding: it stops the fuzzer with the input kept.
#define FUZZ_REQUIRE(condition)                                                                              \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            FuzzSupport::fail(#condition, __FILE__, __LINE__);                                               \
    } while (false)

// What both harnesses share: a process set up like a headless viewer that
// touches nothing of the user's.
namespace FuzzSupport {

// Once per process, before the first input: an offscreen application, a
// settings store and runtime directory in a private temporary directory,
// and a headless controller whose messages are counted, not shown.
void start();

Tracer &tracer();
// The private temporary directory; removed when the process ends normally.
QString sandboxPath();
// Messages the controller has had for the user since start().
int messageCount();
// Drops every project the controller holds, then requires that no tree
// entry is left under its root.
void closeEverything();

[[noreturn]] void fail(const char *condition, const char *file, int line);

} // namespace FuzzSupport
