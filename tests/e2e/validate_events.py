#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Checks each line of standard input against the schema of quill-cli --events.

    validate_events.py SCHEMA < EVENTS

Every line must be one JSON object valid under the schema (JSON Schema,
draft 2020-12, by Debian's python3-jsonschema). Each line that is not is
printed with why; the exit status is 1 when there is one.
"""

import json
import sys

import jsonschema


def main():
    with open(sys.argv[1]) as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    bad = 0
    for number, line in enumerate(sys.stdin, 1):
        try:
            event = json.loads(line)
        except ValueError as error:
            print(f"line {number} is not JSON ({error}): {line}", end="")
            bad += 1
            continue
        error = jsonschema.exceptions.best_match(validator.iter_errors(event))
        if error is not None:
            # Under oneOf the reason is in the branch of the event's own kind.
            reasons = [e.message for e in error.context if e.relative_schema_path[0] in
                       ("unevaluatedProperties", "required", "properties", "allOf")]
            print(f"line {number}: {error.message[:200]}; {'; '.join(reasons[:4])}\n  {line}",
                  end="")
            bad += 1
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
