#!/usr/bin/env python3
"""d88ls --json against the text listing, on every image the kit makes.

json_check.py MAKE_IMAGES D88LS

For each image, the JSON document is parsed with Python's json module and
the text listing is written again from it alone, by rules of this script's
own; it must be the text listing byte for byte. Besides: the document is
ASCII, its warnings are the lines on standard error, each name is what
Python's cp932 codec makes of its bytes, and the extraction summary agrees
with its own tracks.
"""
import json
import os
import subprocess
import sys
import tempfile

from checks import kit_images, verdict

MEDIA = {0x00: "2D", 0x10: "2DD", 0x20: "2HD", 0x30: "1D", 0x40: "1DD"}
STATUS = {0x10: "deleted data mark", 0xA0: "ID CRC error", 0xB0: "data CRC error", 0xC0: "sector not found",
          0xE0: "no address mark", 0xF0: "no data mark"}
PLAN_FIRST, PLAN_LAST, PLAN_SECTORS = 72, 148, 26


def is_pair(two):
    """Whether `two` is two bytes that cp932 reads as one character."""
    try:
        return len(two) == 2 and len(two.decode("cp932")) == 1
    except UnicodeDecodeError:
        return False


def name_text(raw):
    """The name as the listing quotes it: a Shift_JIS character at a time,
    so that no pair is split; a quote and a backslash of their own escaped,
    control characters and bytes that are no character as \\xNN."""
    out, i = b'"', 0
    while i < len(raw):
        b = raw[i]
        if 0x81 <= b <= 0x9F or 0xE0 <= b <= 0xFC:
            if is_pair(raw[i:i + 2]):
                out += raw[i:i + 2]
                i += 2
                continue
            out += b"\\x%02X" % b
        elif b in b'"\\':
            out += b"\\" + bytes([b])
        elif b < 0x20 or 0x7F <= b <= 0xA0 or b >= 0xFD:
            # Controls (C0, DEL, C1), and the single bytes Shift_JIS leaves undefined.
            out += b"\\x%02X" % b
        else:
            out += bytes([b])
        i += 1
    return out + b'"'


def marks(rec):
    found = []
    if rec["density"] == 0x40:
        found.append("FM")
    elif rec["density"]:
        found.append("density 0x%02X" % rec["density"])
    if rec["deleted"] == 0x10:
        found.append("deleted")
    elif rec["deleted"]:
        found.append("deleted mark 0x%02X" % rec["deleted"])
    if rec["status"]:
        found.append(STATUS.get(rec["status"], "status 0x%02X" % rec["status"]))
    if rec["n"] > 7 or rec["data_size"] != 128 << rec["n"]:
        found.append("%d bytes" % rec["data_size"])
    return " (" + ", ".join(found) + ")" if found else ""


def records_text(recs):
    items, i = [], 0
    key = lambda r: (r["c"], r["h"], r["n"], r["density"], r["deleted"], r["status"], r["data_size"])
    while i < len(recs):
        j = i + 1
        while j < len(recs) and key(recs[j]) == key(recs[i]) and recs[j]["r"] == recs[i]["r"] + (j - i):
            j += 1
        first = recs[i]
        item = "C%d H%d R%d" % (first["c"], first["h"], first["r"])
        if j - i > 1:
            item += "-%d" % recs[j - 1]["r"]
        items.append(item + " N%d" % first["n"] + marks(first))
        i = j
    return ", ".join(items)


def track_line(track):
    recs, end = track["records"], track["end"]
    line = "  track %d: " % track["track"]
    if not recs and end == "count_zero":
        return line + "unformatted"
    if recs:
        line += "%d record%s: %s" % (len(recs), "" if len(recs) == 1 else "s", records_text(recs))
        if end != "last_record":
            line += "; "
    n = len(recs)
    return line + {
        "last_record": "",
        "count_zero": "then a header saying 0 records",
        "next_track": "counts run on into the next track",
        "disk_end": ("the disk ends after record %d, though its count says %d" % (n, recs[-1]["count"]) if recs
                     else "no records: it begins where the disk ends"),
        "walk_bound": "stopped after 65535 records",
        "full": "more records may follow",
        "file_ends_after_record": "file ends after record %d" % n,
        "file_ends_in_header": "file ends inside the header of record %d" % (n + 1),
        "file_ends_in_data": "file ends inside the data of record %d" % n,
    }[end]


def other_sizes(disk):
    """The planned tracks whose first sector d88adpcm misses is there, with
    the track's own C and H, only in another size: the summary's runs."""
    tracks = {t["track"]: t["records"] for t in disk["tracks"]}
    flags = []
    for planned in disk["plan"]["tracks"]:
        t, missed = planned["track"], planned["sectors"] + 1
        sizes = {r["n"] for r in tracks.get(t, []) if r["c"] == t // 2 and r["h"] == t % 2 and r["r"] == missed}
        flags.append(planned["sectors"] < PLAN_SECTORS and bool(sizes) and 1 not in sizes)
    items, i = [], 0
    while i < len(flags):
        j = i + 1
        while j < len(flags) and flags[j] == flags[i]:
            j += 1
        if flags[i]:
            first, last = PLAN_FIRST + 2 * i, PLAN_FIRST + 2 * (j - 1)
            items.append(str(first) + ("-%d" % last if j - i > 1 else ""))
        i = j
    return ", ".join(items)


def holes(plan):
    tracks, items, i = plan["tracks"], [], 0
    while i < len(tracks):
        if tracks[i]["sectors"] == PLAN_SECTORS:
            i += 1
            continue
        j = i + 1
        while j < len(tracks) and tracks[j]["sectors"] == tracks[i]["sectors"]:
            j += 1
        run = str(tracks[i]["track"]) + ("-%d" % tracks[j - 1]["track"] if j - i > 1 else "")
        items.append("%s (%d of %d)" % (run, tracks[i]["sectors"], PLAN_SECTORS))
        i = j
    return ", ".join(items)


def text_from(doc):
    disks = doc["disks"]
    lines = [b"%d disk%s" % (len(disks), b"" if len(disks) == 1 else b"s")]
    for disk in disks:
        head = b"disk %d: " % disk["index"] + name_text(bytes.fromhex(disk["name_bytes"]))
        head += b", media type 0x%02X" % disk["media_type"]
        if disk["media"] is not None:
            head += b" (" + disk["media"].encode() + b")"
        if disk["write_protected"]:
            head += b", write-protected"
        lines.append(head)
        if disk["table_entries"] < 164:
            lines.append(b"  track table: %d entries" % disk["table_entries"])
        past = []  # a run of consecutive tracks past the end of the file
        for track in disk["tracks"] + [None]:
            if past and (track is None or track["end"] != "past_file_end" or track["track"] != past[-1] + 1):
                if len(past) == 1:
                    lines.append(b"  track %d: past the end of the file" % past[0])
                else:
                    lines.append(b"  tracks %d-%d: past the end of the file" % (past[0], past[-1]))
                past = []
            if track is None:
                break
            if track["end"] == "past_file_end":
                past.append(track["track"])
            else:
                lines.append(track_line(track).encode())
    for disk in disks:
        plan = disk["plan"]
        state = "complete" if plan["complete"] else "incomplete: " + holes(plan)
        other = other_sizes(disk)
        if other:
            state += "; d88adpcm reads sectors of 256 bytes (N1), tracks %s hold other sizes" % other
        if disk["index"] == 0:
            line = "disk 0: d88adpcm tracks %d-%d: %s" % (PLAN_FIRST, PLAN_LAST, state)
        else:
            line = "disk %d: d88adpcm reads disk 0 only; were this disk first, tracks %d-%d would be %s" % (
                disk["index"], PLAN_FIRST, PLAN_LAST, state)
        lines.append(line.encode())
    return b"".join(line + b"\n" for line in lines)


def check_document(doc, path, err, failures):
    def expect(ok, what):
        if not ok:
            failures.append("%s: %s" % (os.path.basename(path), what))

    expect(doc["image"] == path, "image is %r" % doc["image"])
    expect(doc["file_size"] == os.path.getsize(path), "file_size %d" % doc["file_size"])
    expect(doc["warnings"] == err.splitlines(), "warnings %r, standard error %r" % (doc["warnings"], err))
    expect(doc["extracted_disk"] == (0 if doc["disks"] else None), "extracted_disk %r" % doc["extracted_disk"])
    for disk in doc["disks"]:
        raw = bytes.fromhex(disk["name_bytes"])
        # cp932, less the single bytes Shift_JIS leaves undefined (0xA0,
        # 0xFD to 0xFF), which cp932 alone maps to private-use code points.
        try:
            decoded = raw.decode("cp932")
        except UnicodeDecodeError:
            decoded = None
        if decoded is not None and any(0xF8F0 <= ord(ch) <= 0xF8F3 for ch in decoded):
            decoded = None
        expect(disk["name"] == decoded, "disk %d: name %r, cp932 says %r" % (disk["index"], disk["name"], decoded))
        expect(disk["media"] == MEDIA.get(disk["media_type"]), "disk %d: media" % disk["index"])
        plan = disk["plan"]
        expect(plan["read_by_d88adpcm"] == (disk["index"] == 0), "disk %d: read_by_d88adpcm" % disk["index"])
        expect([t["track"] for t in plan["tracks"]] == list(range(PLAN_FIRST, PLAN_LAST + 1, 2)), "plan tracks")
        expect(plan["complete"] == all(t["sectors"] == PLAN_SECTORS for t in plan["tracks"]), "plan complete")
        for track in disk["tracks"]:
            # The entry is from the disk's start, the offset from the file's.
            expect(track["offset"] == (disk["offset"] + track["entry"]) % 2**32,
                   "disk %d, track %d: offset %d, entry %d" % (disk["index"], track["track"], track["offset"], track["entry"]))
            recs = track["records"]
            if recs:
                expect(recs[0]["offset"] == track["offset"], "track %d: first record's offset" % track["track"])
            for rec in recs:
                expect(rec["data_present"] <= rec["data_size"], "track %d: data_present" % track["track"])


def main():
    make_images, d88ls = sys.argv[1:3]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        for name in kit_images(make_images, work, ".d88"):
            path = os.path.join(work, name)
            text = subprocess.run([d88ls, path], capture_output=True)
            js = subprocess.run([d88ls, "--json", path], capture_output=True)
            if text.returncode != 0 or js.returncode != 0:
                failures.append("%s: exit codes %d and %d" % (name, text.returncode, js.returncode))
                continue
            if text.stderr != js.stderr:
                failures.append("%s: standard error differs: %r, %r" % (name, text.stderr, js.stderr))
            try:
                raw = js.stdout.decode("ascii")
                doc = json.loads(raw)
            except (UnicodeDecodeError, ValueError) as error:
                failures.append("%s: not ASCII JSON: %s" % (name, error))
                continue
            check_document(doc, path, js.stderr.decode("utf-8", "replace"), failures)
            again = text_from(doc)
            if again != text.stdout:
                want, got = text.stdout.splitlines(), again.splitlines()
                first = next((i for i in range(min(len(want), len(got))) if want[i] != got[i]), min(len(want), len(got)))
                failures.append("%s: the listing from the JSON differs at line %d:\n  text: %r\n  json: %r" % (
                    name, first + 1, want[first] if first < len(want) else None, got[first] if first < len(got) else None))
            else:
                print("%s: %d disks, the JSON and the text agree" % (name, len(doc["disks"])))
    return verdict(failures)


if __name__ == "__main__":
    sys.exit(main())
