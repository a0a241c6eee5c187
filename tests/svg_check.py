#!/usr/bin/env python3
"""The pictures of d88ls --svg, read by an XML parser that shares nothing
with this project, against the text listing of the same image, on every
image of the kit.

svg_check.py MAKE_IMAGES D88LS

Each picture must be a well-formed ASCII document (Shift_JIS names come as
character references) whose cells carry a known class and a title, their
own or their run's. And it must say what the text says: each disk's heading
and its line about the plan word for word, each track's records as the
same items in the same order, every record a cell of its own numbered by
its place in the walk, why each walk ended, the tracks past the end of the
file as such, and the tracks d88adpcm reads outlined on disk 0 alone.
"""
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

from checks import kit_images, verdict

SVG = "{http://www.w3.org/2000/svg}"
KINDS = {"present", "missing", "other", "short", "error", "deleted", "fm"}
MAX_CELLS = 64
ITEM = re.compile(r"C\d+ H\d+ R\d+(?:-\d+)? N\d+(?: \([^)]*\))?")


def parse(path):
    """The document at path, which must be ASCII: names beyond it come as
    character references."""
    with open(path, "rb") as f:
        data = f.read()
    data.decode("ascii")
    return ElementTree.fromstring(data)


def listing(text):
    """The text listing taken apart: per disk its heading, table note, track
    lines and tracks past the end; and the plan's lines."""
    disks, summaries = [], []
    for line in text.decode("cp932", "backslashreplace").split("\n")[1:]:
        if re.match(r'disk \d+: "', line):
            disks.append({"heading": line, "table": None, "tracks": {}, "past": []})
        elif re.match(r"disk \d+: d88adpcm", line):
            summaries.append(line)
        elif line.startswith("  track table: "):
            disks[-1]["table"] = line[2:]
        elif line:
            m = re.match(r"  tracks? (\d+)(?:-(\d+))?: (.*)$", line)
            first, last, rest = int(m.group(1)), int(m.group(2) or m.group(1)), m.group(3)
            if rest == "past the end of the file":
                disks[-1]["past"].extend(range(first, last + 1))
            else:
                disks[-1]["tracks"][first] = rest
    return disks, summaries


def track_parts(rest):
    """A track line's record count, items, and words on how its walk ended."""
    m = re.match(r"(\d+) records?: (.*)$", rest)
    if not m:
        return 0, [], rest
    items_text, _, words = m.group(2).partition("; ")
    return int(m.group(1)), ITEM.findall(items_text), words


def row_items(row):
    """The items a picture's row draws, with the record numbers of their cells."""
    items = []
    for child in row:
        title = child.find(SVG + "title")
        if child.tag == SVG + "g" and child.get("class") == "run":
            item = re.match(r"track \d+: records \d+-\d+: (.*): \d+ sectors of \d+ bytes", title.text).group(1)
            cells = [rect for rect in child.iter(SVG + "rect")]
        elif child.tag == SVG + "rect" and child.get("data-record"):
            # A record alone says where the file ends inside its data, which
            # the text says of its track.
            item = re.match(r"track \d+: record \d+: (.*?)(?:, not this track's ID)?$", title.text).group(1)
            item = re.sub(r" \(file ends after \d+ of them\)|, file ends after \d+ of them", "", item)
            cells = [child]
        else:
            continue
        items.append((item, cells))
    return items


def check_image(name, text, root, failures):
    def fail(what):
        failures.append(f"{name}: {what}")

    for holder in root.iter():
        for rect in holder.findall(SVG + "rect"):
            kind = rect.get("class")
            if kind is None or kind.startswith("plan"):
                continue
            if kind not in KINDS:
                fail(f"unknown class {kind}")
            # A cell's title is its own, or its run's.
            title = rect.find(SVG + "title")
            if title is None and holder.get("class") == "run":
                title = holder.find(SVG + "title")
            if title is None or not title.text:
                fail(f"a {kind} cell without a title")

    disks, summaries = listing(text)
    groups = [g for g in root.iter(SVG + "g") if g.get("class") == "disk"]
    if len(groups) != len(disks):
        fail(f"{len(groups)} disks drawn, {len(disks)} listed")
        return
    for index, (group, disk) in enumerate(zip(groups, disks)):
        texts = [t.text for t in group.findall(SVG + "text")]
        heading = disk["heading"] + (", " + disk["table"] if disk["table"] else "")
        if texts[0] != heading:
            fail(f"disk {index}: heading {texts[0]!r}, listed {heading!r}")
        if "".join(texts[1:]) != summaries[index]:
            fail(f"disk {index}: summary {''.join(texts[1:])!r}, listed {summaries[index]!r}")
        if index > 0 and any((r.get("class") or "").startswith("plan") for r in group.iter(SVG + "rect")):
            fail(f"disk {index}: outlined as read by d88adpcm")
        rows = {g.get("data-track"): g for g in group.findall(SVG + "g")}
        for track, rest in disk["tracks"].items():
            row = rows.get(str(track))
            if row is None:
                fail(f"disk {index}, track {track}: no row")
                continue
            count, items, words = track_parts(rest)
            drawn = row_items(row)
            where = f"disk {index}, track {track}"
            if [item for item, _ in drawn] != items[:len(drawn)] or (count <= MAX_CELLS and len(drawn) != len(items)):
                fail(f"{where}: drawn {[item for item, _ in drawn]}, listed {items}")
            records = [cell.get("data-record") for _, cells in drawn for cell in cells]
            if records != [str(r) for r in range(1, min(count, MAX_CELLS) + 1)]:
                fail(f"{where}: cells numbered {records[:8]}..., {count} records listed")
            for _, cells in drawn:
                for cell in cells:
                    if (cell.get("data-disk"), cell.get("data-track")) != (str(index), str(track)):
                        fail(f"{where}: a cell of disk {cell.get('data-disk')}, track {cell.get('data-track')}")
            notes = [t.text for t in row.findall(SVG + "text")[1:]]
            if words and not (notes and notes[0].startswith(words)):
                fail(f"{where}: note {notes}, listed {words!r}")
        for track in disk["past"]:
            row = rows.get(str(track))
            notes = [t.text for t in row.findall(SVG + "text")[1:]] if row is not None else []
            if not (notes and notes[0].startswith("past the end of the file")):
                fail(f"disk {index}, track {track}: past the end of the file, but drawn with {notes}")


def main():
    make_images, d88ls = sys.argv[1:3]
    failures = []
    seen = {}
    with tempfile.TemporaryDirectory() as work:
        kit_images(make_images, work, "")
        subprocess.run([make_images, "--web", work], check=True)
        for name in sorted(os.listdir(work)):
            if name.endswith(".svg"):
                continue
            picture = os.path.join(work, name + ".svg")
            text = subprocess.run([d88ls, "--svg", picture, os.path.join(work, name)], check=True,
                                  capture_output=True).stdout
            try:
                root = parse(picture)
            except (ElementTree.ParseError, UnicodeDecodeError) as error:
                failures.append(f"{name}: {error}")
                continue
            check_image(name, text, root, failures)
            seen[name] = {r.get("class") for r in root.iter(SVG + "rect")} & KINDS
    for name, kinds in (("damaged.d88", {"present", "missing", "short"}),
                        ("shapes.d88", {"present", "missing", "short", "error", "deleted", "fm"})):
        if not kinds <= seen.get(name, set()):
            failures.append(f"{name}: shows {sorted(seen.get(name, set()))}, not all of {sorted(kinds)}")
    print(f"{len(seen)} pictures read against their listings")
    return verdict(failures)


if __name__ == "__main__":
    sys.exit(main())
