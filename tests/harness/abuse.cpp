// case_runner abuse [--quick] PROGRAM CASE_DIR
//
// Feeds PROGRAM nothing, every prefix of every *.in file in CASE_DIR (of a
// case over 4096 bytes, those that end near its start, its end, each power
// of two and each newline), random bytes from a fixed seed, NUL bytes, bytes
// of 128 and above, and (not with --quick) lines of a megabyte and a
// megabyte of "0" answers.  Each run must end in time with status 0: within
// the timeout, and a megabyte within five times the timeout.
#include <algorithm>
#include <random>

#include "harness.h"

namespace {

using Inputs = std::vector<std::pair<std::string, std::string>>;  // a name, then the bytes

std::string randomBytes(std::mt19937& rng, std::size_t length, const std::string& alphabet) {
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string bytes;
    while (bytes.size() < length) {
        bytes += alphabet[pick(rng)];
    }
    return bytes;
}

// The lengths of the prefixes a case is cut to: every length, but in a case
// longer than EVERY_PREFIX bytes (a line as long as the room a cipher reads
// in) only the first few, those around each power of two and each newline,
// where a read ends, and the last few.  Each prefix is a run of its own, and
// such a case would otherwise cost millions.
constexpr std::size_t EVERY_PREFIX = 4096;

std::vector<std::size_t> prefixLengths(const std::string& whole) {
    std::vector<std::size_t> lengths;
    const auto add = [&](std::size_t length) {
        if (length >= 1 && length < whole.size() && (lengths.empty() || lengths.back() < length)) {
            lengths.push_back(length);
        }
    };
    if (whole.size() <= EVERY_PREFIX) {
        for (std::size_t length = 1; length < whole.size(); ++length) {
            add(length);
        }
        return lengths;
    }
    std::vector<std::size_t> chosen;
    for (std::size_t length = 1; length <= 16; ++length) {
        chosen.push_back(length);
    }
    for (std::size_t power = 32; power < whole.size(); power *= 2) {
        chosen.insert(chosen.end(), {power - 1, power, power + 1});
    }
    for (std::size_t at = whole.find('\n'); at != std::string::npos;
         at = whole.find('\n', at + 1)) {
        for (std::size_t length = at > 2 ? at - 2 : 1; length <= at + 3; ++length) {
            chosen.push_back(length);
        }
    }
    for (std::size_t back = 1; back <= 4 && back < whole.size(); ++back) {
        chosen.push_back(whole.size() - back);
    }
    std::sort(chosen.begin(), chosen.end());
    for (const std::size_t length : chosen) {
        add(length);
    }
    return lengths;
}

Inputs abuseInputs(const fs::path& caseDir, bool quick) {
    Inputs inputs{{"empty input", ""}};
    for (const fs::path& path : caseInputs(caseDir)) {
        const std::string whole = readFile(path);
        for (const std::size_t length : prefixLengths(whole)) {
            inputs.emplace_back(
                "the first " + std::to_string(length) + " bytes of " + path.filename().string(),
                whole.substr(0, length));
        }
    }

    std::string everyByte;
    for (int c = 0; c < 256; ++c) {
        everyByte += static_cast<char>(c);
    }
    const std::string high = everyByte.substr(128);
    const std::string tokens = "0123456789+-.,;: \n\t\reExXaAdDmMfFnNqQsSuz!";
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<std::size_t> length(1, 4096);
    for (int i = 0; i < 8; ++i) {
        const std::string draw = ", draw " + std::to_string(i);
        inputs.emplace_back("random bytes" + draw, randomBytes(rng, length(rng), everyByte));
        inputs.emplace_back("random tokens" + draw, randomBytes(rng, length(rng), tokens));
    }
    inputs.emplace_back("NUL bytes", std::string(64, '\0'));
    inputs.emplace_back("numbers between NUL bytes", std::string("1\0,2\0\n3\0 4\n", 12));
    inputs.emplace_back("bytes of 128 and above", high + "\n" + high + " " + high + "\n");
    if (quick) {
        return inputs;
    }
    const std::size_t megabyte = std::size_t{1} << 20;
    inputs.emplace_back("a megabyte line of text",
                        randomBytes(rng, megabyte, "abcdefghijklmnopqrstuvwxyz ABC,.!") + "\n");
    inputs.emplace_back("a megabyte line of digits", std::string(megabyte, '9') + "\n");
    inputs.emplace_back("a megabyte line of high bytes", randomBytes(rng, megabyte, high) + "\n");
    // Every question answered, again and again: a loop must end with its input.
    std::string answers;
    while (answers.size() < megabyte) {
        answers += "0\n";
    }
    inputs.emplace_back("a megabyte of 0 answers", answers);
    return inputs;
}

// A megabyte of menu choices is a million answers, each line of them flushed
// on its own: recmenu takes 1.6 s for it on an idle 2-core machine, and more
// when the build's other tests share the processors.  What is judged is that
// the program ends with its input, not how fast it writes.
double timeoutFor(const std::string& bytes, double timeoutSeconds) {
    const std::size_t megabyte = std::size_t{1} << 20;
    return bytes.size() >= megabyte ? 5 * timeoutSeconds : timeoutSeconds;
}

}  // namespace

int abuse(const Options& options) {
    const std::string& program = options.positional[0];
    const Inputs inputs = abuseInputs(options.positional[1], options.quick);
    Verdict verdict;
    for (const auto& [name, bytes] : inputs) {
        // Only the end of each run is judged, and a program answering a
        // megabyte of menu choices prints hundreds of megabytes: no output kept.
        Program run = localProgram({program}, options);
        const double timeout = timeoutFor(bytes, options.timeoutSeconds);
        const RunResult result = runPiped(*run.runner, run.request, bytes, timeout, nullptr, 0);
        if (!result.endedWell()) {
            verdict.fail("on " + name + ": " + program + " " + result.describe(timeout));
        }
    }
    std::cout << inputs.size() << " runs, " << verdict.failures << " ended badly\n";
    return verdict.status();
}
