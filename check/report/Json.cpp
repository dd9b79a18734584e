// JSON: for one version exactly exercism's results.json (version 3), with
// keys of its own besides, which carry what it takes to rebuild the
// version's results: a class check's versions hand theirs back in it, and
// --merge reads shards' back.  For a class, a wrapper of such objects.
//
// JSON holds text, and a version's bytes need not be: a string that is not
// well-formed UTF-8 is written with U+FFFD for each bad byte, and its bytes
// whole beside it in base64, under the key's name with "_bytes" after it.
// Everything is written in ASCII (\u escapes), so no byte of a version's
// reaches a terminal that shows the file.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <ostream>

#include "report/Escape.h"
#include "report/Formats.h"

namespace {

using Json = nlohmann::ordered_json;

// A version's JSON is a few KiB a case; a class's, that for each version.
constexpr std::size_t VERSION_BYTES = std::size_t{16} << 20;
constexpr std::size_t VERSION_VALUES = 1000000;
constexpr std::size_t CLASS_BYTES = std::size_t{256} << 20;
constexpr std::size_t CLASS_VALUES = 16000000;
constexpr int DEPTH = 12;

const char BASE64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string base64(const std::string& bytes) {
    std::string text;
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        unsigned group = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            group = (group << 8) |
                    (at + k < bytes.size() ? static_cast<unsigned char>(bytes[at + k]) : 0);
        }
        const std::size_t digits = std::min<std::size_t>(bytes.size() - at, 3) + 1;
        for (std::size_t k = 0; k < 4; ++k) {
            text += k < digits ? BASE64[(group >> (18 - 6 * k)) & 0x3f] : '=';
        }
    }
    return text;
}

std::string fromBase64(const std::string& text, const std::string& where) {
    if (text.size() % 4 != 0) {
        throw UnreadableJson(where + " is not base64");
    }
    std::string bytes;
    for (std::size_t at = 0; at < text.size(); at += 4) {
        unsigned group = 0;
        std::size_t digits = 0;
        for (std::size_t k = 0; k < 4; ++k) {
            const char* digit = text[at + k] == '\0' ? nullptr : std::strchr(BASE64, text[at + k]);
            const bool padding = text[at + k] == '=' && at + 4 == text.size() && k >= 2;
            if (!digit && !padding) {
                throw UnreadableJson(where + " is not base64");
            }
            digits += digit ? 1 : 0;
            group = (group << 6) | static_cast<unsigned>(digit ? digit - BASE64 : 0);
        }
        for (std::size_t k = 0; k + 1 < digits; ++k) {
            bytes += static_cast<char>((group >> (16 - 8 * k)) & 0xff);
        }
    }
    return bytes;
}

void putText(Json& object, const std::string& key, const std::string& raw) {
    object[key] = asUtf8(raw);
    if (!isUtf8(raw)) {
        object[key + "_bytes"] = base64(raw);
    }
}

void putTexts(Json& object, const std::string& key, const std::vector<std::string>& raws) {
    Json texts = Json::array(), bytes = Json::array();
    bool exact = true;
    for (const std::string& raw : raws) {
        texts.push_back(asUtf8(raw));
        bytes.push_back(base64(raw));
        exact = exact && isUtf8(raw);
    }
    object[key] = texts;
    if (!exact) {
        object[key + "_bytes"] = bytes;
    }
}

Json orNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(asUtf8(text));
}

Json lineJson(const DifferingLine& line) {
    Json json = {{"number", line.number}};
    putText(json, "expected", line.expected);
    putText(json, "actual", line.actual);
    json["expected_missing"] = line.expectedMissing;
    json["actual_missing"] = line.actualMissing;
    json["pattern"] = line.pattern;
    json["row"] = line.row;
    json["from"] = line.from;
    json["parting"] = line.parting == std::string::npos ? Json(nullptr) : Json(line.parting);
    return json;
}

Json problemJson(const Problem& problem) {
    Json json = Json::object();
    putText(json, "what", problem.what);
    json["lines"] = Json::array();
    for (const DifferingLine& line : problem.lines) {
        json["lines"].push_back(lineJson(line));
    }
    putTexts(json, "details", problem.details);
    putText(json, "errors", problem.errors);
    putText(json, "hint", problem.hint);
    putText(json, "key", problem.key);
    return json;
}

// A case: exercism's name, status, message, output and test_code (a hidden
// case's name and status only), then its points, and what rebuilds it.
Json testJson(const CaseResult& result) {
    Json test = Json::object();
    putText(test, "name", result.name);
    test["status"] = statusName(result.status);
    test["message"] = orNull(caseReport(result));
    if (!result.hidden) {
        putText(test, "output", firstCharacters(result.output, OUTPUT_SHOWN));
        putText(test, "test_code", result.input);
    }
    test["points"] = result.points;
    test["score"] = result.status == Status::Pass ? result.points : 0;
    test["hidden"] = result.hidden;
    // Why a case was not run is the checker's own words, hidden or not.
    if (!result.hidden || result.status == Status::Error) {
        putText(test, "note", result.note);
    }
    if (!result.hidden) {
        putTexts(test, "files", result.files);
        test["problems"] = Json::array();
        for (const Problem& problem : result.problems) {
            test["problems"].push_back(problemJson(problem));
        }
    }
    return test;
}

// Exercism's message: why the version was not checked, or why its cases
// were not run when none failed; null otherwise.
std::string messageOf(const VersionResult& version) {
    if (!version.error.empty()) {
        return whyNotChecked(version);
    }
    if (version.status() == Status::Error) {
        for (const CaseResult& result : version.cases) {
            if (result.status == Status::Error) {
                return caseReport(result);
            }
        }
    }
    return "";
}

Json versionObject(const VersionResult& version, bool named) {
    Json json = Json::object();
    if (named) {
        putText(json, "name", version.name);
    }
    json["version"] = 3;
    json["status"] = statusName(version.status());
    json["message"] = orNull(messageOf(version));
    json["tests"] = Json::array();
    for (const CaseResult& result : version.cases) {
        json["tests"].push_back(testJson(result));
    }
    putText(json, "lesson", version.lesson);
    putTexts(json, "command", version.command);
    json["cases"] = version.caseCount;
    json["score"] = version.score();
    json["out_of"] = version.outOf;
    putText(json, "error", version.error);
    putText(json, "error_detail", version.errorDetail);
    return json;
}

Json classObject(const ClassResults& results) {
    std::size_t passed = 0, unchecked = 0;
    Json versions = Json::array();
    for (const VersionResult& version : results.versions) {
        passed += version.status() == Status::Pass ? 1 : 0;
        unchecked += version.error.empty() ? 0 : 1;
        versions.push_back(versionObject(version, true));
    }
    Json json = Json::object();
    putText(json, "lesson", results.lesson);
    json["status"] = passed == results.versions.size() && !results.interrupted ? "pass" : "fail";
    json["summary"] = {{"versions", results.versions.size()},
                       {"passed", passed},
                       {"failed", results.versions.size() - passed - unchecked},
                       {"not_checked", unchecked}};
    json["interrupted"] = results.interrupted;
    json["versions"] = versions;
    return json;
}

std::string dumped(const Json& json) {
    return json.dump(2, ' ', true, Json::error_handler_t::replace) + "\n";
}

// Reads the parts of a document, saying where one is not as written.
class Reader {
public:
    Json parse(const std::string& text, std::size_t mostBytes, std::size_t mostValues) {
        if (text.size() > mostBytes) {
            throw UnreadableJson("longer than " + std::to_string(mostBytes >> 20) + " MiB");
        }
        std::size_t values = 0;
        const auto bounded = [&](int depth, Json::parse_event_t, Json&) {
            if (depth > DEPTH || ++values > mostValues) {
                throw UnreadableJson(depth > DEPTH ? "nested too deep" : "too many values");
            }
            return true;
        };
        try {
            return Json::parse(text, bounded);
        } catch (const Json::exception& error) {
            const std::string what = shownLine(error.what());
            throw UnreadableJson("not JSON: " + what.substr(0, 200));
        }
    }

    const Json& member(const Json& object, const std::string& key, const std::string& where) {
        if (!object.is_object() || !object.contains(key)) {
            throw UnreadableJson(where + " lacks \"" + key + "\"");
        }
        return object.at(key);
    }

    std::string text(const Json& object, const std::string& key, const std::string& where) {
        if (object.contains(key + "_bytes")) {
            return fromBase64(stringAt(object.at(key + "_bytes"), where + "." + key + "_bytes"),
                              where + "." + key + "_bytes");
        }
        return object.contains(key) && !object.at(key).is_null()
                   ? stringAt(object.at(key), where + "." + key)
                   : "";
    }

    std::vector<std::string> texts(const Json& object, const std::string& key,
                                   const std::string& where) {
        const bool bytes = object.contains(key + "_bytes");
        const std::string name = bytes ? key + "_bytes" : key;
        std::vector<std::string> list;
        if (!object.contains(name)) {
            return list;
        }
        for (const Json& item : arrayAt(object.at(name), where + "." + name)) {
            const std::string text = stringAt(item, where + "." + name + "[]");
            list.push_back(bytes ? fromBase64(text, where + "." + name) : text);
        }
        return list;
    }

    std::size_t count(const Json& object, const std::string& key, const std::string& where,
                      std::size_t most) {
        if (!object.contains(key) || object.at(key).is_null()) {
            return 0;
        }
        const Json& value = object.at(key);
        if (!value.is_number_unsigned() || value.get<std::uint64_t>() > most) {
            throw UnreadableJson(where + "." + key + " is not a count up to " +
                                 std::to_string(most));
        }
        return static_cast<std::size_t>(value.get<std::uint64_t>());
    }

    bool flag(const Json& object, const std::string& key, const std::string& where) {
        if (!object.contains(key)) {
            return false;
        }
        if (!object.at(key).is_boolean()) {
            throw UnreadableJson(where + "." + key + " is not true or false");
        }
        return object.at(key).get<bool>();
    }

    const Json& objectAt(const Json& value, const std::string& where) {
        if (!value.is_object()) {
            throw UnreadableJson(where + " is not an object");
        }
        return value;
    }

    const Json& arrayAt(const Json& value, const std::string& where) {
        if (!value.is_array()) {
            throw UnreadableJson(where + " is not a list");
        }
        return value;
    }

private:
    std::string stringAt(const Json& value, const std::string& where) {
        if (!value.is_string()) {
            throw UnreadableJson(where + " is not a string");
        }
        return value.get<std::string>();
    }
};

// Counts that no check reaches: a larger one is a forged or broken file.
constexpr std::size_t MOST = 1000000000;

DifferingLine lineFrom(Reader& read, const Json& json, const std::string& where) {
    read.objectAt(json, where);
    DifferingLine line;
    line.number = read.count(json, "number", where, MOST);
    line.expected = read.text(json, "expected", where);
    line.actual = read.text(json, "actual", where);
    line.expectedMissing = read.flag(json, "expected_missing", where);
    line.actualMissing = read.flag(json, "actual_missing", where);
    line.pattern = read.flag(json, "pattern", where);
    line.row = read.flag(json, "row", where);
    line.from = read.count(json, "from", where, MOST);
    const bool parted = json.contains("parting") && !json.at("parting").is_null();
    line.parting = parted ? read.count(json, "parting", where, MOST) : std::string::npos;
    return line;
}

Problem problemFrom(Reader& read, const Json& json, const std::string& where) {
    read.objectAt(json, where);
    Problem problem;
    problem.what = read.text(json, "what", where);
    if (json.contains("lines")) {
        for (const Json& line : read.arrayAt(json.at("lines"), where + ".lines")) {
            problem.lines.push_back(lineFrom(read, line, where + ".lines[]"));
        }
    }
    problem.details = read.texts(json, "details", where);
    problem.errors = read.text(json, "errors", where);
    problem.hint = read.text(json, "hint", where);
    problem.key = read.text(json, "key", where);
    return problem;
}

Status statusFrom(const std::string& name, const std::string& where) {
    for (const Status status : {Status::Pass, Status::Fail, Status::Error}) {
        if (name == statusName(status)) {
            return status;
        }
    }
    throw UnreadableJson(where + " is not pass, fail or error");
}

CaseResult caseFrom(Reader& read, const Json& json, const std::string& where) {
    read.objectAt(json, where);
    CaseResult result;
    result.name = read.text(json, "name", where);
    result.status = statusFrom(read.text(json, "status", where), where + ".status");
    result.points = static_cast<unsigned>(read.count(json, "points", where, 1000000));
    result.hidden = read.flag(json, "hidden", where);
    result.note = read.text(json, "note", where);
    result.output = read.text(json, "output", where);
    result.input = read.text(json, "test_code", where);
    result.files = read.texts(json, "files", where);
    if (json.contains("problems")) {
        for (const Json& problem : read.arrayAt(json.at("problems"), where + ".problems")) {
            result.problems.push_back(problemFrom(read, problem, where + ".problems[]"));
        }
    }
    return result;
}

VersionResult versionFrom(Reader& read, const Json& json, const std::string& where) {
    if (read.count(read.objectAt(json, where), "version", where, 3) != 3) {
        throw UnreadableJson(where + " is not a results.json of version 3");
    }
    VersionResult version;
    version.name = read.text(json, "name", where);
    version.lesson = read.text(json, "lesson", where);
    version.command = read.texts(json, "command", where);
    version.caseCount = read.count(json, "cases", where, MOST);
    version.outOf = static_cast<unsigned>(read.count(json, "out_of", where, MOST));
    version.error = read.text(json, "error", where);
    version.errorDetail = read.text(json, "error_detail", where);
    const Json& tests = read.arrayAt(read.member(json, "tests", where), where + ".tests");
    for (std::size_t i = 0; i < tests.size(); ++i) {
        version.cases.push_back(
            caseFrom(read, tests[i], where + ".tests[" + std::to_string(i) + "]"));
    }
    return version;
}

}  // namespace

std::string versionJson(const VersionResult& version) {
    return dumped(versionObject(version, false));
}

std::string classJson(const ClassResults& results) {
    return dumped(classObject(results));
}

void writeJsonVersion(std::ostream& out, const VersionResult& version) {
    out << versionJson(version);
}

void writeJsonClass(std::ostream& out, const ClassResults& results) {
    out << classJson(results);
}

VersionResult readVersionJson(const std::string& text) {
    Reader read;
    return versionFrom(read, read.parse(text, VERSION_BYTES, VERSION_VALUES), "the version");
}

ClassResults readClassJson(const std::string& text) {
    Reader read;
    const Json json = read.parse(text, CLASS_BYTES, CLASS_VALUES);
    ClassResults results;
    results.lesson = read.text(json, "lesson", "the class");
    results.interrupted = read.flag(json, "interrupted", "the class");
    const Json& versions = read.arrayAt(read.member(json, "versions", "the class"), "versions");
    for (std::size_t i = 0; i < versions.size(); ++i) {
        results.versions.push_back(
            versionFrom(read, versions[i], "versions[" + std::to_string(i) + "]"));
    }
    return results;
}
