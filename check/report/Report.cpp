#include "report/Report.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "cases/Expected.h"

namespace {

constexpr int FAILED = 1;
constexpr int UNCHECKED = 2;

// How much of what a version printed goes into TAP and JSON: enough to see
// what it printed, little enough that a class's file stays readable.
constexpr std::size_t OUTPUT_SHOWN = 1000;

std::string counted(std::size_t count, const std::string& what) {
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

std::string joined(const std::vector<std::string>& words, const std::string& between) {
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : between) + word;
    }
    return text;
}

std::size_t countOf(const VersionResult& version, Status status) {
    return static_cast<std::size_t>(
        std::count_if(version.cases.begin(), version.cases.end(),
                      [status](const CaseResult& result) { return result.status == status; }));
}

// "12 passed, 1 failed" and ", 9 not run" where some were not.
std::string tally(const VersionResult& version) {
    const std::size_t notRun = countOf(version, Status::Error);
    return std::to_string(countOf(version, Status::Pass)) + " passed, " +
           std::to_string(countOf(version, Status::Fail)) + " failed" +
           (notRun > 0 ? ", " + std::to_string(notRun) + " not run" : "");
}

// What a case's message says in TAP and JSON; "" for none.
std::string messageOf(const CaseResult& result) {
    switch (result.status) {
    case Status::Fail:
        return joined(result.problems, "\n");
    case Status::Error:
        return "not run, as " + result.note;
    case Status::Pass:
        break;
    }
    return result.note;
}

// A version's own message: why it could not be checked, or why its cases
// were not run when none failed.
std::string messageOf(const VersionResult& version) {
    if (!version.error.empty() || version.status() != Status::Error) {
        return version.error;
    }
    for (const CaseResult& result : version.cases) {
        if (result.status == Status::Error) {
            return messageOf(result);
        }
    }
    return "";
}

void printHeader(std::ostream& out, const VersionResult& version) {
    out << version.lesson << ": " << counted(version.caseCount, "case") << ", against "
        << joined(version.command, " ") << "\n";
}

// The first problems' lines, under their case's line: the first is what
// to mend first, and the ones after it often follow from it.
void printProblems(std::ostream& out, const std::vector<std::string>& problems) {
    const std::size_t shown = std::min<std::size_t>(problems.size(), 3);
    for (std::size_t i = 0; i < shown; ++i) {
        std::istringstream lines(problems[i]);
        for (std::string line; std::getline(lines, line);) {
            out << "  " << line << "\n";
        }
    }
    if (shown < problems.size()) {
        out << "  and " << problems.size() - shown << " more\n";
    }
}

// A case's lines in the human report; the cases not run are told together,
// at the end.
void printCase(std::ostream& out, const CaseResult& result) {
    if (result.status == Status::Pass) {
        out << "ok    " << result.name << (result.note.empty() ? "" : " (" + result.note + ")")
            << "\n";
    } else if (result.status == Status::Fail) {
        out << "FAIL  " << result.name << "\n";
        printProblems(out, result.problems);
    }
}

// How many cases were not run for each reason, in the order the reasons came.
void printNotRun(std::ostream& out, const VersionResult& version) {
    std::vector<std::pair<std::string, std::size_t>> reasons;
    for (const CaseResult& result : version.cases) {
        if (result.status != Status::Error) {
            continue;
        }
        const auto reason = std::find_if(reasons.begin(), reasons.end(), [&](const auto& counted) {
            return counted.first == result.note;
        });
        if (reason == reasons.end()) {
            reasons.push_back({result.note, 1});
        } else {
            ++reason->second;
        }
    }
    for (const auto& [reason, count] : reasons) {
        out << "not run: " << counted(count, "case") << ", as " << reason << "\n";
    }
}

void printTally(std::ostream& out, const VersionResult& version) {
    printNotRun(out, version);
    out << tally(version) << "\n";
}

// TAP's description of a test: a '#' would start a directive.
std::string tapName(const std::string& name) {
    std::string text;
    for (const char c : name) {
        text += c == '#' ? "\\#" : c == '\n' ? " " : std::string(1, c);
    }
    return text;
}

// A test line, and under a test that did not pass its YAML block: C++
// string literals are YAML's double-quoted scalars too.
void printTapTest(std::ostream& out, const std::string& indent, std::size_t number,
                  const std::string& name, bool passed, const std::string& message,
                  const std::string& output) {
    out << indent << (passed ? "ok " : "not ok ") << number << " - " << tapName(name) << "\n";
    if (passed) {
        return;
    }
    out << indent << "  ---\n" << indent << "  message: " << quoted(message) << "\n";
    if (!output.empty()) {
        out << indent << "  output: " << quoted(output.substr(0, OUTPUT_SHOWN)) << "\n";
    }
    out << indent << "  ...\n";
}

void printTapCases(std::ostream& out, const std::string& indent, const VersionResult& version) {
    out << indent << "1.." << version.cases.size() << "\n";
    std::size_t number = 0;
    for (const CaseResult& result : version.cases) {
        printTapTest(out, indent, ++number, result.name, result.status == Status::Pass,
                     messageOf(result), result.output);
    }
}

// A text as a JSON string.  What is not UTF-8 (a version may print any
// byte) becomes U+FFFD, so that the file stays JSON.
std::string jsonText(const std::string& text) {
    std::string json = "\"";
    for (std::size_t at = 0; at < text.size(); ++at) {
        const unsigned char byte = static_cast<unsigned char>(text[at]);
        std::size_t length = byte < 0x80                   ? 1
                             : byte >= 0xc2 && byte < 0xe0 ? 2
                             : byte >= 0xe0 && byte < 0xf0 ? 3
                             : byte >= 0xf0 && byte < 0xf5 ? 4
                                                           : 0;
        for (std::size_t k = 1; k < length; ++k) {
            if (at + k >= text.size() ||
                (static_cast<unsigned char>(text[at + k]) & 0xc0) != 0x80) {
                length = 0;
            }
        }
        if (length > 1) {
            json += text.substr(at, length);
            at += length - 1;
        } else if (length == 0) {
            json += "\\ufffd";
        } else if (byte == '"' || byte == '\\') {
            json += std::string("\\") + static_cast<char>(byte);
        } else if (byte == '\n') {
            json += "\\n";
        } else if (byte < 0x20 || byte == 0x7f) {
            char code[8];
            std::snprintf(code, sizeof code, "\\u%04x", byte);
            json += code;
        } else {
            json += static_cast<char>(byte);
        }
    }
    return json + "\"";
}

std::string jsonTextOrNull(const std::string& text) {
    return text.empty() ? "null" : jsonText(text);
}

std::string jsonList(const std::vector<std::string>& texts) {
    std::string json;
    for (const std::string& text : texts) {
        json += (json.empty() ? "" : ", ") + jsonText(text);
    }
    return "[" + json + "]";
}

// A version as an object of exercism's results.json shape (its status,
// message and tests), with what was checked; a class's versions have their
// names too.
void printJsonVersion(std::ostream& out, const VersionResult& version, const std::string& indent,
                      bool named) {
    const std::string inner = indent + "  ";
    out << "{\n";
    if (named) {
        out << inner << "\"name\": " << jsonText(version.name) << ",\n";
    } else {
        out << inner << "\"lesson\": " << jsonText(version.lesson) << ",\n";
    }
    out << inner << "\"command\": " << jsonList(version.command) << ",\n"
        << inner << "\"status\": " << jsonText(statusName(version.status())) << ",\n"
        << inner << "\"message\": " << jsonTextOrNull(messageOf(version)) << ",\n"
        << inner << "\"tests\": [";
    for (std::size_t i = 0; i < version.cases.size(); ++i) {
        const CaseResult& result = version.cases[i];
        out << (i == 0 ? "\n" : ",\n") << inner << "  {\"name\": " << jsonText(result.name)
            << ", \"status\": " << jsonText(statusName(result.status))
            << ", \"message\": " << jsonTextOrNull(messageOf(result))
            << ", \"output\": " << jsonText(result.output.substr(0, OUTPUT_SHOWN)) << "}";
    }
    out << (version.cases.empty() ? "" : "\n" + inner) << "]\n" << indent << "}";
}

// A record field: its name and length on a line, then its bytes and a newline.
void addField(std::string& record, const std::string& name, const std::string& value) {
    record += name + " " + std::to_string(value.size()) + "\n" + value + "\n";
}

}  // namespace

const char* statusName(Status status) {
    switch (status) {
    case Status::Fail:
        return "fail";
    case Status::Error:
        return "error";
    case Status::Pass:
        break;
    }
    return "pass";
}

bool readFormat(const std::string& name, Format& format) {
    for (const auto& [word, named] :
         {std::pair{"human", Format::Human}, {"tap", Format::Tap}, {"json", Format::Json}}) {
        if (name == word) {
            format = named;
            return true;
        }
    }
    return false;
}

Status VersionResult::status() const {
    if (!error.empty() || countOf(*this, Status::Fail) > 0) {
        return error.empty() ? Status::Fail : Status::Error;
    }
    return countOf(*this, Status::Error) > 0 ? Status::Error : Status::Pass;
}

void VersionReport::begin(const std::string& lesson, std::size_t caseCount,
                          const std::vector<std::string>& command) {
    result.lesson = lesson;
    result.caseCount = caseCount;
    result.command = command;
    if (format == Format::Human) {
        printHeader(out, result);
    }
}

void VersionReport::add(CaseResult caseResult) {
    if (format == Format::Human) {
        printCase(out, caseResult);
        // A version being checked is watched case by case.
        out.flush();
    }
    result.cases.push_back(std::move(caseResult));
}

int VersionReport::finish() {
    if (format == Format::Human) {
        printTally(out, result);
    } else if (format == Format::Tap) {
        out << "TAP version 13\n";
        printTapCases(out, "", result);
        out << "# " << tally(result) << "\n";
    } else if (format == Format::Json) {
        printJsonVersion(out, result, "", false);
        out << "\n";
    } else {
        out << recordOf(result);
    }
    return result.status() == Status::Pass ? 0 : FAILED;
}

int VersionReport::finishUnchecked(const std::string& why) {
    result.error = why;
    if (format == Format::Human) {
        // As a usage error is, on standard error, after what was checked.
        out.flush();
        std::cerr << "lessons-check: " << why << "\n";
    } else if (format == Format::Tap) {
        out << "TAP version 13\nBail out! " << why << "\n";
    } else if (format == Format::Json) {
        printJsonVersion(out, result, "", false);
        out << "\n";
    } else {
        out << recordOf(result);
    }
    return UNCHECKED;
}

void printHuman(std::ostream& out, const VersionResult& version) {
    printHeader(out, version);
    for (const CaseResult& result : version.cases) {
        printCase(out, result);
    }
    printTally(out, version);
}

std::string recordOf(const VersionResult& version) {
    std::string record;
    addField(record, "lesson", version.lesson);
    addField(record, "cases", std::to_string(version.caseCount));
    for (const std::string& word : version.command) {
        addField(record, "command", word);
    }
    addField(record, "error", version.error);
    for (const CaseResult& result : version.cases) {
        addField(record, "case", result.name);
        addField(record, "status", statusName(result.status));
        for (const std::string& problem : result.problems) {
            addField(record, "problem", problem);
        }
        addField(record, "note", result.note);
        addField(record, "output", result.output.substr(0, OUTPUT_SHOWN));
    }
    addField(record, "end", "");
    return record;
}

namespace {

// Reads the record's fields in turn.
class RecordReader {
public:
    explicit RecordReader(const std::string& text) : text(text) {}

    // The next field's name and value; false after the last.
    bool next(std::string& name, std::string& value) {
        const std::size_t lineEnd = text.find('\n', at);
        std::istringstream line(text.substr(at, lineEnd - at));
        std::size_t length = 0;
        if (lineEnd == std::string::npos || !(line >> name >> length) ||
            lineEnd + 1 + length >= text.size() || text[lineEnd + 1 + length] != '\n') {
            return false;
        }
        value = text.substr(lineEnd + 1, length);
        at = lineEnd + 2 + length;
        return true;
    }

private:
    const std::string& text;
    std::size_t at = 0;
};

Status statusNamed(const std::string& name) {
    return name == "pass" ? Status::Pass : name == "fail" ? Status::Fail : Status::Error;
}

// Sets a field of the version's own; false for a field of a case's.
bool setVersionField(VersionResult& version, const std::string& name, const std::string& value) {
    if (name == "lesson") {
        version.lesson = value;
    } else if (name == "cases") {
        version.caseCount = std::stoul(value);
    } else if (name == "command") {
        version.command.push_back(value);
    } else if (name == "error") {
        version.error = value;
    } else {
        return false;
    }
    return true;
}

void setCaseField(CaseResult& result, const std::string& name, const std::string& value) {
    if (name == "status") {
        result.status = statusNamed(value);
    } else if (name == "problem") {
        result.problems.push_back(value);
    } else if (name == "note") {
        result.note = value;
    } else if (name == "output") {
        result.output = value;
    }
}

}  // namespace

VersionResult readRecord(const std::string& text) {
    VersionResult version;
    RecordReader reader(text);
    std::string name, value;
    while (reader.next(name, value)) {
        if (name == "end") {
            return version;
        } else if (name == "case") {
            version.cases.push_back({value, Status::Error, {}, "", ""});
        } else if (!setVersionField(version, name, value) && !version.cases.empty()) {
            setCaseField(version.cases.back(), name, value);
        }
    }
    throw std::runtime_error("the record of a version's check is cut short");
}

void ClassReport::begin(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        nameWidth = std::max(nameWidth, name.size());
    }
    if (format == Format::Tap) {
        out << "TAP version 13\n1.." << names.size() << "\n";
    }
}

void ClassReport::add(VersionResult version) {
    const Status status = version.status();
    if (format == Format::Human) {
        const char* const word = status == Status::Pass   ? "ok    "
                                 : status == Status::Fail ? "FAIL  "
                                                          : "ERROR ";
        out << word << version.name << std::string(nameWidth - version.name.size() + 2, ' ')
            << (version.error.empty() ? tally(version) : version.error) << "\n";
        out.flush();
    } else if (format == Format::Tap) {
        const std::size_t number = versions.size() + 1;
        if (version.error.empty()) {
            out << "# Subtest: " << tapName(version.name) << "\n";
            printTapCases(out, "    ", version);
        }
        printTapTest(out, "", number, version.name, status == Status::Pass,
                     version.error.empty() ? tally(version) : version.error, "");
        out.flush();
    }
    versions.push_back(std::move(version));
}

int ClassReport::finish() {
    std::size_t passed = 0, unchecked = 0;
    for (const VersionResult& version : versions) {
        passed += version.status() == Status::Pass ? 1 : 0;
        unchecked += version.error.empty() ? 0 : 1;
    }
    if (format == Format::Human) {
        out << counted(versions.size(), "version") << ": " << passed << " passed, "
            << versions.size() - passed - unchecked << " failed"
            << (unchecked > 0 ? ", " + std::to_string(unchecked) + " not checked" : "") << "\n";
        for (const VersionResult& version : versions) {
            if (version.status() != Status::Pass && version.error.empty()) {
                out << "\n";
                printHuman(out, version);
            }
        }
    } else if (format == Format::Json) {
        out << "{\n  \"lesson\": " << jsonText(lesson)
            << ",\n  \"status\": " << jsonText(passed == versions.size() ? "pass" : "fail")
            << ",\n  \"versions\": [";
        for (std::size_t i = 0; i < versions.size(); ++i) {
            out << (i == 0 ? "\n    " : ",\n    ");
            printJsonVersion(out, versions[i], "    ", true);
        }
        out << (versions.empty() ? "" : "\n  ") << "]\n}\n";
    }
    return passed == versions.size() ? 0 : FAILED;
}
