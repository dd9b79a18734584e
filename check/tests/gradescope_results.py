"""Checks a results.json against the fields Gradescope's autograder
documentation defines (Autograder Specifications: output format, test case
visibility and status, output string formatting); prints the score and the
sum of the tests' max_score.  With --each, the file is lessons-check's
class of such results, and each is checked.  Exits non-zero, saying why,
on the first field amiss."""
import json
import sys

TOP = {"score", "execution_time", "output", "output_format", "test_output_format",
       "test_name_format", "visibility", "stdout_visibility", "extra_data", "tests",
       "leaderboard"}
TEST = {"score", "max_score", "status", "name", "name_format", "number", "output",
        "output_format", "tags", "visibility", "extra_data"}
VISIBILITY = {"hidden", "after_due_date", "after_published", "visible"}
FORMATS = {"text", "html", "simple_format", "md", "ansi"}
NUMBER = (int, float)


def check(results):
    assert set(results) <= TOP, set(results) - TOP
    assert "score" in results or all("score" in test for test in results["tests"])
    for key in ("output_format", "test_output_format", "test_name_format"):
        assert results.get(key, "text") in FORMATS, key
    assert results.get("visibility", "visible") in VISIBILITY
    assert isinstance(results.get("extra_data", {}), dict)
    total = most = 0
    for test in results["tests"]:
        assert set(test) <= TEST, set(test) - TEST
        assert isinstance(test.get("name", ""), str) and isinstance(test.get("output", ""), str)
        assert isinstance(test["score"], NUMBER) and isinstance(test["max_score"], NUMBER)
        assert 0 <= test["score"] <= test["max_score"], test
        assert test.get("status", "passed") in {"passed", "failed"}, test
        assert (test["status"] == "passed") == (test["score"] == test["max_score"] > 0) or \
            test["max_score"] == 0, test
        assert test.get("visibility", "visible") in VISIBILITY
        for key in ("output_format", "name_format"):
            assert test.get(key, "text") in FORMATS, key
        total += test["score"]
        most += test["max_score"]
    assert results["score"] == total, "the score is not the tests' scores"
    print(results["score"], most)


def main(path, each):
    with open(path, encoding="utf-8") as file:
        results = json.load(file)
    for version in results["versions"] if each else [results]:
        check(version["results"] if each else version)


if __name__ == "__main__":
    main(sys.argv[-1], "--each" in sys.argv)
