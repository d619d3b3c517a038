// The terminal a program was started from.
#pragma once

namespace platform {

// Makes the program's standard output and error reach the terminal it was started from, so
// that --version and --help answer there. A windowed program on Windows has none of its own
// and borrows its parent's console; elsewhere, and wherever the output already goes
// somewhere (a pipe, a file, Wine's terminal), nothing changes.
void useParentTerminal();

} // namespace platform
