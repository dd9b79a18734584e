"""Reads a GitHub Actions workflow as GitHub does (YAML, with python3-yaml;
without it, a rough reading of its keys and run: lines) and checks that it
runs at a push and that a step runs lessons-check with --format junit.
Prints, as JSON, the workflow's env and each step's name and run."""
import json
import re
import sys


def rough(text):
    """Top-level keys, the env's pairs and the steps' run: commands, from
    the text's indentation, where no YAML reader is installed."""
    assert "\t" not in text, "a tab in YAML"
    top = re.findall(r"^(\w+):", text, re.M)
    assert {"on", "env", "jobs"} <= set(top), top
    env = dict(re.findall(r"^  (\w+): (.+)$", text.split("\nenv:\n")[1].split("\njobs:")[0], re.M))
    runs = re.findall(r"^ +run: \|\n((?:^ {10}.*\n)+)|^ +run: (.+)$", text, re.M)
    steps = [{"run": block.replace(" " * 10, "") or line} for block, line in runs]
    push = re.search(r"^on:\n  push:", text, re.M) is not None
    return {"on": ["push"] if push else [], "env": env, "jobs": {"check": {"steps": steps}}}


def main(path):
    text = open(path, encoding="utf-8").read()
    try:
        import yaml
        workflow = yaml.safe_load(text)
        workflow["on"] = workflow.pop(True, workflow.get("on"))  # YAML 1.1 reads "on" as true
    except ImportError:
        workflow = rough(text)
    assert "push" in workflow["on"], "not run at a push"
    steps = [step for job in workflow["jobs"].values() for step in job["steps"]]
    assert any("lessons-check --format junit" in step.get("run", "") for step in steps)
    print(json.dumps({"env": workflow.get("env", {}),
                      "steps": [{"name": step.get("name", ""), "run": step["run"]}
                                for step in steps if "run" in step]}))


if __name__ == "__main__":
    main(sys.argv[1])
