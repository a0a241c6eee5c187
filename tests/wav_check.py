#!/usr/bin/env python3
"""The WAV files of the sample pipeline, read by readers that share nothing
with this project: Python's wave module and, where installed, sox's soxi.

wav_check.py MAKE_SAMPLE D88ADPCM ADPCM2WAV
"""
import os
import shutil
import subprocess
import sys
import tempfile
import wave

from checks import verdict


def main():
    make_sample, d88adpcm, adpcm2wav = sys.argv[1:4]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        run = lambda *args: subprocess.run(args, cwd=work, check=True, capture_output=True, text=True).stdout
        run(make_sample, "sample.d88")
        run(d88adpcm, "sample.d88")
        for rate, options in ((15974, []), (8000, ["--delta-n", "9452", "-o", "slow"])):
            # The address unit, the heading, a line per sound, and the last
            # line's count of bytes left out as not sound.
            table = run(adpcm2wav, *options, "ADPCM").splitlines()[2:-1]
            if not table:
                failures.append("no sounds listed")
            for row in table:
                fields = row.split()
                size, name = int(fields[3]), fields[6]
                path = os.path.join(work, name)
                with wave.open(path, "rb") as w:
                    got = (w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getcomptype(), w.getnframes())
                want = (1, 2, rate, "NONE", 2 * size)
                if got != want:
                    failures.append(f"{name}: wave reads {got}, expected {want}")
                if os.path.getsize(path) != 44 + 4 * size:
                    failures.append(f"{name}: {os.path.getsize(path)} bytes, expected {44 + 4 * size}")
                if shutil.which("soxi"):
                    soxi = [run("soxi", flag, path).strip() for flag in ("-r", "-c", "-b", "-s", "-e")]
                    expected = [str(rate), "1", "16", str(2 * size), "Signed Integer PCM"]
                    if soxi != expected:
                        failures.append(f"{name}: soxi reads {soxi}, expected {expected}")
                print(f"{name}: {rate} Hz, {2 * size} samples: read alike")
    return verdict(failures)


if __name__ == "__main__":
    sys.exit(main())
