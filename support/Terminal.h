// Whether a standard stream is a terminal, for output that rewrites its line.
#pragma once

#include <cstdio>

namespace tessaly {

bool isTerminal(std::FILE *stream);

} // namespace tessaly
