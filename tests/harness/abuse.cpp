#include <algorithm>
#include <iostream>
#include <random>

#include "modes.h"

namespace {

struct AbuseInput {
    std::string name;
    std::string bytes;
};

std::string randomBytes(std::mt19937& rng, std::size_t length, const std::string& alphabet) {
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string bytes;
    for (std::size_t i = 0; i < length; ++i) {
        bytes += alphabet[pick(rng)];
    }
    return bytes;
}

std::string repeated(const std::string& piece, std::size_t length) {
    std::string bytes;
    while (bytes.size() < length) {
        bytes += piece;
    }
    return bytes;
}

std::vector<AbuseInput> abuseInputs(const fs::path& caseDir, bool quick) {
    std::vector<AbuseInput> inputs;
    inputs.push_back({"empty input", ""});

    std::vector<fs::path> cases;
    if (fs::is_directory(caseDir)) {
        for (const auto& entry : fs::directory_iterator(caseDir)) {
            if (entry.path().extension() == ".in") {
                cases.push_back(entry.path());
            }
        }
    }
    std::sort(cases.begin(), cases.end());
    for (const fs::path& path : cases) {
        std::string whole = readFile(path);
        for (std::size_t length = 1; length < whole.size(); ++length) {
            inputs.push_back(
                {"the first " + std::to_string(length) + " bytes of " + path.filename().string(),
                 whole.substr(0, length)});
        }
    }

    std::string everyByte;
    for (int c = 0; c < 256; ++c) {
        everyByte += static_cast<char>(c);
    }
    const std::string tokens = "0123456789+-.,;: \n\t\reExXaAdDmMfFnNqQsSuz!";
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<std::size_t> length(1, 4096);
    for (int i = 0; i < 8; ++i) {
        inputs.push_back(
            {"random bytes, draw " + std::to_string(i), randomBytes(rng, length(rng), everyByte)});
        inputs.push_back(
            {"random tokens, draw " + std::to_string(i), randomBytes(rng, length(rng), tokens)});
    }

    inputs.push_back({"NUL bytes", std::string(64, '\0')});
    inputs.push_back({"numbers between NUL bytes", std::string("1\0,2\0\n3\0 4\n", 12)});
    std::string high;
    for (int c = 128; c < 256; ++c) {
        high += static_cast<char>(c);
    }
    inputs.push_back({"bytes of 128 and above", high + "\n" + high + " " + high + "\n"});
    if (quick) {
        return inputs;
    }
    const std::size_t megabyte = std::size_t{1} << 20;
    inputs.push_back({"a megabyte line of text",
                      randomBytes(rng, megabyte, "abcdefghijklmnopqrstuvwxyz ABC,.!") + "\n"});
    inputs.push_back({"a megabyte line of digits", std::string(megabyte, '9') + "\n"});
    inputs.push_back({"a megabyte line of high bytes", randomBytes(rng, megabyte, high) + "\n"});
    // Every question answered, again and again: a loop must end with its input.
    inputs.push_back({"a megabyte of 0 answers", repeated("0\n", megabyte)});
    return inputs;
}

}  // namespace

int abuse(const Options& options) {
    if (options.positional.size() != 2) {
        std::cerr << "usage: case_runner abuse [--quick] [--timeout S] PROGRAM CASE_DIR\n";
        return 2;
    }
    const std::string& program = options.positional[0];
    std::vector<AbuseInput> inputs = abuseInputs(options.positional[1], options.quick);
    ScratchFile input("abuse-in");
    // Only the end of each run is judged, and a program answering a megabyte
    // of menu choices prints hundreds of megabytes.
    const fs::path output = "/dev/null";
    int failures = 0;
    for (const AbuseInput& abuseInput : inputs) {
        writeFile(input.path(), abuseInput.bytes);
        RunResult result =
            runWithFiles({program}, {}, input.path(), output, options.timeoutSeconds);
        if (!endedWell(result)) {
            ++failures;
            std::cerr << "on " << abuseInput.name << ": " << program << " "
                      << describeEnd(result, options.timeoutSeconds) << "\n";
        }
    }
    std::cout << inputs.size() << " runs, " << failures << " ended badly\n";
    return failures == 0 ? 0 : 1;
}
