#pragma once

struct SimOptions;

// Sets up the one galaxy of the process as the options say, runs it and writes
// the outputs they ask for. Returns the exit status: 0, or 1 when a file could
// not be read or written, the galaxy does not fit into memory or GADGET-4
// could not run it as --export-gadget4 asks.
int runSimulation(const SimOptions& options);
