#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/simulation.h"
#include "io/replacing_file.h"
#include "model/galaxy.h"
#include "run/options.h"

namespace {

// Reports that never arrived count as a failure: a script must not take a
// full disk for a finished run.
int checkStandardOutput(int status) {
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int err = errno;
    if (flushed && !std::ferror(stdout)) return status;
    // An earlier failure may have left nothing to flush, and no errno.
    std::fprintf(stderr, "zyr-sim: cannot write the standard output%s%s\n", err ? ": " : "",
                 err ? std::strerror(err) : "");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const ParseResult parsed = parseOptions(argc, argv);
    if (!parsed.ok()) {
        std::fprintf(stderr, "zyr-sim: %s\nTry 'zyr-sim --help' for the options.\n", parsed.status.message.c_str());
        return 2;
    }
    const SimOptions& options = *parsed.value;
    if (options.help || options.version) {
        // Nothing has touched the galaxy yet, so it still holds the defaults.
        std::fputs((options.help ? helpText(g_galaxy) : versionText()).c_str(), stdout);
        return checkStandardOutput(0);
    }
    removeTemporariesOnSignals();
    return checkStandardOutput(runSimulation(options));
}
