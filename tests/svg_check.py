#!/usr/bin/env python3
"""The pictures of d88ls --svg, read by an XML parser that shares nothing
with this project: every image of the kit gives a well-formed document
(Shift_JIS names included, as character references) whose cells carry a known class and a title,
their own or their run's.

svg_check.py MAKE_IMAGES D88LS
"""
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

SVG = "{http://www.w3.org/2000/svg}"
KINDS = {"present", "missing", "other", "short", "error", "deleted", "fm"}


def parse(path):
    """The document at path, which must be ASCII: names beyond it come as
    character references."""
    with open(path, "rb") as f:
        data = f.read()
    data.decode("ascii")
    return ElementTree.fromstring(data)


def main():
    make_images, d88ls = sys.argv[1:3]
    failures = []
    seen = {}
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([make_images, work], check=True)
        subprocess.run([make_images, "--web", work], check=True)
        for name in sorted(os.listdir(work)):
            if name.endswith(".svg"):
                continue
            picture = os.path.join(work, name + ".svg")
            subprocess.run([d88ls, "--svg", picture, os.path.join(work, name)], check=True, stdout=subprocess.DEVNULL)
            try:
                root = parse(picture)
            except (ElementTree.ParseError, UnicodeDecodeError) as error:
                failures.append(f"{name}: {error}")
                continue
            for holder in root.iter():
                for rect in holder.findall(SVG + "rect"):
                    kind = rect.get("class")
                    if kind is None or kind.startswith("plan"):
                        continue
                    if kind not in KINDS:
                        failures.append(f"{name}: unknown class {kind}")
                    # A cell's title is its own, or its run's.
                    title = rect.find(SVG + "title")
                    if title is None and holder.get("class") == "run":
                        title = holder.find(SVG + "title")
                    if title is None or not title.text:
                        failures.append(f"{name}: a {kind} cell without a title")
                    seen.setdefault(name, set()).add(kind)
            if name == "sjis-name.d88":
                heading = [t.text for t in root.iter(SVG + "text") if t.text and t.text.startswith("disk 0:")]
                if heading != ['disk 0: "\u97f3\u58f0\u30b5\u30f3\u30d7\u30eb", media type 0x20 (2HD)']:
                    failures.append(f"{name}: heading {heading}")
    for name, kinds in (("damaged.d88", {"present", "missing", "short"}),
                        ("shapes.d88", {"present", "missing", "short", "error", "deleted", "fm"})):
        if not kinds <= seen.get(name, set()):
            failures.append(f"{name}: shows {sorted(seen.get(name, set()))}, not all of {sorted(kinds)}")
    for failure in failures:
        print(failure)
    print(f"{len(seen)} pictures read")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
