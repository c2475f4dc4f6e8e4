#include <cstdio>
#include <cstdlib>

// The controller's init makes the main window and hands command-line files to
// it. The harnesses run a headless controller and never call init; the link
// maps the main window's constructor and openNode here (see CMakeLists.txt)
// rather than compile the whole user interface.
extern "C" [[noreturn]] void kestrelFuzzNoMainWindow()
{
    std::fputs("the main window is not part of the fuzz build\n", stderr);
    std::abort();
}
