"""Reads lessons-check's CSV gradebook as a spreadsheet would (RFC 4180) and
prints each version's status, score and points, one a line, as
exercism_results.py prints them from the JSON; checks that every row's
cases add up and that no field would be taken for a formula."""
import csv
import sys


def main(path):
    with open(path, newline="", encoding="utf-8") as file:
        rows = list(csv.reader(file))
    assert rows[0] == ["version", "status", "passed", "failed", "not run", "score", "out of"]
    for row in rows[1:]:
        assert len(row) == 7, row
        assert row[0][:1] not in ("=", "+", "-", "@"), row
        passed, failed, not_run, score, out_of = (int(field) for field in row[2:])
        assert row[1] in {"pass", "fail", "error"}, row
        assert score <= out_of and (row[1] != "pass" or (failed, not_run) == (0, 0)), row
        print(row[1], score, out_of)


if __name__ == "__main__":
    main(sys.argv[1])
