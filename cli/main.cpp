#include <cstdio>

#include "cli/options.h"
#include "cli/simulation.h"
#include "model/galaxy.h"

int main(int argc, char** argv) {
    const ParseResult parsed = parseOptions(argc, argv);
    if (!parsed.options) {
        std::fprintf(stderr, "zyr-sim: %s\nTry 'zyr-sim --help' for the options.\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.options->help) {
        // Nothing has touched the galaxy yet, so it still holds the defaults.
        std::fputs(helpText(g_galaxy).c_str(), stdout);
        return 0;
    }
    return runSimulation(*parsed.options);
}
