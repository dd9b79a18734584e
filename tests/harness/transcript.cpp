#include <cstdlib>
#include <iostream>

#include "compare.h"
#include "modes.h"

// libfaketime stops the clock at the given time.  It is preloaded, so under
// AddressSanitizer the runtime's check that it is loaded first is waived.
Environment clockEnvironment(const Options& options, int& skipStatus) {
    skipStatus = 0;
    if (options.clock.empty()) {
        return {};
    }
    if (options.clockLibrary.empty() || !fs::exists(options.clockLibrary)) {
        std::cout << "the case needs a stopped clock, and libfaketime is missing\n";
        skipStatus = std::getenv("LESSONS_CI") != nullptr ? 1 : SKIPPED;
        return {};
    }
    const char* asanOptions = std::getenv("ASAN_OPTIONS");
    std::string asan = asanOptions != nullptr ? std::string(asanOptions) + ":" : "";
    return {{"FAKETIME", options.clock},
            {"TZ", "UTC"},
            {"LD_PRELOAD", options.clockLibrary},
            {"ASAN_OPTIONS", asan + "verify_asan_link_order=0"}};
}

int transcript(const Options& options) {
    if (options.positional.size() != 3) {
        std::cerr << "usage: case_runner transcript [options] PROGRAM CASE.in EXPECTED\n";
        return 2;
    }
    const std::string& program = options.positional[0];
    int skipStatus = 0;
    Environment environment = clockEnvironment(options, skipStatus);
    if (skipStatus != 0) {
        return skipStatus;
    }

    std::vector<std::string> argv = options.wrapper;
    argv.push_back(program);
    ScratchFile output("transcript");
    RunResult result = runWithFiles(argv, environment, options.positional[1], output.path(),
                                    options.timeoutSeconds);

    bool ok = true;
    if (!endedWell(result)) {
        std::cerr << program << " " << describeEnd(result, options.timeoutSeconds) << "\n";
        ok = false;
    }
    const fs::path expectedPath = options.positional[2];
    std::string difference = Expected(expectedPath).differenceFrom(readFile(output.path()));
    if (!difference.empty()) {
        std::cerr << expectedPath.filename().string() << ": " << difference << "\n";
        ok = false;
    }
    return ok ? 0 : 1;
}
