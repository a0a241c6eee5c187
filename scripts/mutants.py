#!/usr/bin/env python3
"""Puts small deliberate faults (mutants) into the code, one at a time, and
runs the test suite against each: a mutant the suite survives points at a
check that is missing. scripts/mutants.sh prepares the scratch tree and calls
this; see there for the modes.

The list, scripts/mutants.txt, holds one mutant a line:

    SCOPE | TEXT AS IT STANDS | WHAT IT BECOMES

SCOPE is a folder (`adpcm/`) or a file (`adpcm/Sounds.cpp`) of the tree. The
text is looked for in the C++ sources of that scope with white space as any
white space, so that a mutant follows its code when the code moves within the
scope or is indented anew; it must stand there exactly once, else the mutant
no longer applies and says so. `\\n` in a text is a line break. A mutant
may delete its text (nothing after the last `|`). A line that begins with
`~` is a fault the suite is known to survive (the comment above it says why:
it changes no result, or other rules hide it); it is run in full and
reported, but never counted as caught nor held against the suite.
"""
import hashlib
import os
import re
import subprocess
import sys

SOURCES = (".h", ".cpp", ".c")


class Mutant:
    def __init__(self, number, scope, old, new, known):
        self.number, self.scope, self.old, self.new, self.known = number, scope, old, new, known

    def label(self):
        return f"{self.scope} {self.old.strip()[:70]}"


def read_list(path):
    mutants = []
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        line = line.rstrip("\n")
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        known = line.startswith("~")
        if known:
            line = line[1:].lstrip()
        parts = line.rstrip(" ").split(" | ", 2)
        # A mutant that deletes its text ends in " |" with nothing after it.
        if len(parts) == 2 and parts[1].endswith(" |"):
            parts = [parts[0], parts[1][:-2], ""]
        if len(parts) != 3:
            sys.exit(f"{path}:{number}: not SCOPE | TEXT | NEW TEXT")
        scope, old, new = (part.replace("\\n", "\n") for part in parts)
        mutants.append(Mutant(number, scope.strip(), old, new, known))
    return mutants


def pattern(text):
    words = text.split()
    return re.compile(r"\s+".join(re.escape(w) for w in words))


def scope_files(root, scope):
    path = os.path.join(root, scope)
    if os.path.isfile(path):
        return [scope]
    files = []
    for folder, _, names in os.walk(path):
        for name in sorted(names):
            if name.endswith(SOURCES):
                files.append(os.path.relpath(os.path.join(folder, name), root))
    return sorted(files)


def locate(root, mutant):
    """The one place the mutant applies, as (file, match), or a reason why none."""
    regex = pattern(mutant.old)
    found = []
    for name in scope_files(root, mutant.scope):
        text = open(os.path.join(root, name), encoding="utf-8").read()
        found += [(name, m) for m in regex.finditer(text)]
    if len(found) == 1:
        return found[0], None
    if not found:
        return None, "no longer applies"
    return None, f"applies in {len(found)} places"


def sampled(mutant, every):
    digest = hashlib.sha256(f"{mutant.scope}|{mutant.old}".encode()).digest()
    return digest[0] % every == 0


def run(command, cwd, timeout):
    try:
        return subprocess.run(command, cwd=cwd, capture_output=True, timeout=timeout).returncode == 0
    except subprocess.TimeoutExpired:
        return False


def main():
    root, build, listing = sys.argv[1:4]
    quick = len(sys.argv) > 4 and sys.argv[4] == "--quick"
    mutants = read_list(listing)
    # The quick form runs about one mutant in eight, always the same ones, and
    # checks that every other still applies.
    every = 8 if quick else 1

    gone, caught, survived, known_survived, tried = [], 0, [], 0, 0
    for mutant in mutants:
        place, reason = locate(root, mutant)
        if place is None:
            gone.append(mutant)
            print(f"{reason.upper():16} {mutant.label()}", flush=True)
            continue
        if not sampled(mutant, every):
            continue
        name, match = place
        path = os.path.join(root, name)
        original = open(path, encoding="utf-8").read()
        open(path, "w", encoding="utf-8").write(original[: match.start()] + mutant.new + original[match.end() :])
        try:
            if not run(["cmake", "--build", build], root, 900):
                verdict = "does not build"
            elif not run(["./tests/d88_tests", "--gtest_brief=1"], build, 600):
                verdict = "caught"
            elif not run(["ctest", "-L", "python", "-j2", "--timeout", "300"], build, 900):
                verdict = "caught (Python)"
            else:
                verdict = "survived"
        finally:
            open(path, "w", encoding="utf-8").write(original)
        if verdict == "does not build":
            print(f"{verdict:16} {mutant.label()}", flush=True)
            continue
        tried += 1
        if verdict.startswith("caught"):
            caught += 1
        elif mutant.known:
            known_survived += 1
            verdict = "survived (known)"
        else:
            survived.append(mutant)
            verdict = "SURVIVED"
        if mutant.known and verdict.startswith("caught"):
            verdict += ", was known to survive"
        print(f"{verdict:16} {name}: {mutant.old.strip()[:70]}", flush=True)

    # Put the tree back as it was built, so a later run starts clean.
    run(["cmake", "--build", build], root, 900)
    counted = tried - known_survived
    form = "quick form, one mutant in eight" if quick else "every mutant"
    print(f"{caught} of {counted} mutants caught ({form}; {known_survived} known to survive, "
          f"{len(gone)} that no longer apply, of {len(mutants)} listed)")
    # A list that no longer applies has rotted; a mutant that now survives
    # means a check went missing.
    if gone or survived:
        sys.exit(1)


if __name__ == "__main__":
    main()
