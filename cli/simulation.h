#pragma once

struct SimOptions;

// Sets up the one galaxy of the process as the options say, runs it and writes
// the outputs they ask for. Returns the exit status: 0, or 1 when a file could
// not be read or written or the galaxy does not fit into memory.
int runSimulation(const SimOptions& options);
