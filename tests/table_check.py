#!/usr/bin/env python3
"""adpcm2wav --list --json, parsed by Python's json module and checked
against the table adpcm2wav --list prints, on every sample RAM image of the
kit: the same sounds, fields and endings, and the same bytes left out.

table_check.py MAKE_IMAGES ADPCM2WAV
"""
import json
import math
import os
import subprocess
import sys
import tempfile

from checks import kit_images, verdict


def main():
    make_images, adpcm2wav = sys.argv[1:3]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        for name in kit_images(make_images, work, ".bin"):
            run = lambda *args: subprocess.run([adpcm2wav, *args, name], cwd=work, check=True, capture_output=True)
            text = run("--list").stdout.decode("ascii").splitlines()
            raw = run("--list", "--json").stdout
            doc = json.loads(raw.decode("ascii"))

            def expect(ok, what):
                if not ok:
                    failures.append(f"{name}: {what}")

            expect(raw.endswith(b"}\n") and b"\r" not in raw, "not one document with line feeds")
            expect(doc["image"] == name and doc["file_size"] == os.path.getsize(os.path.join(work, name)), "image")
            expect(doc["rate"] == 15974, "rate")
            left = text[-1]
            expect(left == f"left out as not sound: {doc['not_sound_bytes']} bytes", f"last line {left!r}")
            expect(sum(s["end"] - s["start"] for s in doc["not_sound"]) == doc["not_sound_bytes"], "not_sound spans")
            rows = [] if text[0].startswith("no sound found") else text[2:-1]
            if rows:
                how = "inferred" if doc["unit_inferred"] else "given"
                expect(text[0] == f"address unit: {doc['unit']} bytes ({how})", f"unit line {text[0]!r}")
            expect(doc["unit"] in (4, 32, 256) and doc["unit_inferred"] is True, f"unit {doc['unit']}")
            expect(len(rows) == len(doc["sounds"]), f"{len(rows)} rows, {len(doc['sounds'])} sounds")
            for row, sound in zip(rows, doc["sounds"]):
                fields = row.split()
                ended = " ".join(fields[7:])
                peak = "-inf" if sound["peak_dbfs"] is None else f"{sound['peak_dbfs']:.1f}"
                want = [str(sound["sound"]), f"0x{sound['start']:05X}", f"0x{sound['end']:05X}", str(sound["bytes"]),
                        f"{sound['seconds']:.3f}", peak, sound["file"]]
                expect(fields[:7] == want and ended == sound["ended_by"], f"row {row!r} against {sound}")
                expect(sound["ended_by"] in ("fill", "silence", "next sound", "end of RAM", "not sound"), "ended_by")
                # The peak in dB as the table rounds it, from the level alone;
                # a level that rounds to full scale is 0.0, never -0.0.
                level = sound["peak"]
                expect(0 <= level <= 32768, f"peak {level}")
                if level > 0:
                    db = 20 * math.log10(level / 32768)
                    expect(sound["peak_dbfs"] == (0.0 if db > -0.05 else float(f"{db:.1f}")), f"peak_dbfs of {sound}")
            print(f"{name}: {len(doc['sounds'])} sounds, {doc['not_sound_bytes']} bytes not sound: alike")
    return verdict(failures)


if __name__ == "__main__":
    sys.exit(main())
