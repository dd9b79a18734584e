"""Checks lessons-check's JSON against exercism's results.json (version 3)
and the class wrapper lessons-check(1) documents; prints each version's
status, score and points, one a line, for a test to compare with the
other formats.  Exits non-zero, saying why, on the first field amiss."""
import json
import sys

STATUSES = {"pass", "fail", "error"}


def check_version(version, where):
    assert version["version"] == 3, where
    assert version["status"] in STATUSES, where
    message = version.get("message")
    assert message is None or isinstance(message, str), where
    if version["status"] == "error":
        assert message, where + ": an error needs a message"
    assert isinstance(version["tests"], list), where
    score = 0
    for test in version["tests"]:
        name = where + ": " + repr(test.get("name"))
        assert isinstance(test["name"], str) and test["status"] in STATUSES, name
        assert test.get("message") is None or isinstance(test["message"], str), name
        assert len(test.get("output", "")) <= 500, name + ": output over 500 characters"
        assert isinstance(test.get("test_code", ""), str), name
        if test["hidden"]:
            assert not {"output", "test_code", "problems", "files"} & set(test), name
        score += test["points"] if test["status"] == "pass" else 0
    if version["error"]:
        score = 0
    assert version["score"] == score, where + ": the score is not its cases' points"
    assert version["status"] != "fail" or any(
        test["status"] == "fail" for test in version["tests"]), where
    return "%s %d %d" % (version["status"], version["score"], version["out_of"])


def main(path):
    with open(path, encoding="utf-8") as file:
        results = json.load(file)
    if "versions" not in results:
        print(check_version(results, "the version"))
        return
    assert set(results) == {"lesson", "status", "summary", "interrupted", "versions"}, results.keys()
    statuses = []
    for number, version in enumerate(results["versions"]):
        assert isinstance(version["name"], str)
        print(check_version(version, "version %d" % number))
        statuses.append(version["status"])
    summary = results["summary"]
    assert summary["versions"] == len(statuses)
    assert summary["passed"] == statuses.count("pass")
    assert summary["passed"] + summary["failed"] + summary["not_checked"] == len(statuses)
    assert results["status"] == ("pass" if statuses.count("pass") == len(statuses) else "fail")


if __name__ == "__main__":
    main(sys.argv[1])
