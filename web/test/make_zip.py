"""Zip archives for the page's tests, written by Python's own zipfile, not by
the page's code: make_zip.py OUT < SPEC, SPEC a JSON list of members

  {"name": "disks/a.d88", "path": "FILE" | "text": "...",
   "deflate": true, "cp932": true, "encrypted": true}

"cp932" writes the name as Shift_JIS bytes without the UTF-8 flag, as
Japanese Windows does; other non-ASCII names get the flag. "encrypted" sets
the member's encryption flag (bit 0), which is how a reader learns it. With
ZIP64=1 in the environment every size and offset goes through the zip64
records."""
import json
import os
import sys
import zipfile

ENCRYPTED = 0x1


class Cp932Info(zipfile.ZipInfo):
    def _encodeFilenameFlags(self):
        return self.filename.encode("cp932"), self.flag_bits & ~0x800


def main():
    out = sys.argv[1]
    spec = json.load(sys.stdin)
    if os.environ.get("ZIP64") == "1":
        zipfile.ZIP64_LIMIT = 1
        zipfile.ZIP_FILECOUNT_LIMIT = 1
    encrypted = []
    with zipfile.ZipFile(out, "w") as archive:
        for member in spec:
            info = (Cp932Info if member.get("cp932") else zipfile.ZipInfo)(member["name"], (1980, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED if member.get("deflate") else zipfile.ZIP_STORED
            data = open(member["path"], "rb").read() if "path" in member else member.get("text", "").encode()
            archive.writestr(info, data)
            if member.get("encrypted"):
                encrypted.append(info)
    # The flag, set in the member's local header (offset 6) and in its
    # directory entry (offset 8), the bytes left as they were written.
    if encrypted:
        offsets = {info.header_offset for info in encrypted}
        with open(out, "r+b") as f:
            data = bytearray(f.read())
            for offset in offsets:
                data[offset + 6] |= ENCRYPTED
            at = data.find(b"PK\x01\x02")
            while at >= 0 and data[at:at + 4] == b"PK\x01\x02":
                if int.from_bytes(data[at + 42:at + 46], "little") in offsets:
                    data[at + 8] |= ENCRYPTED
                at += 46 + sum(int.from_bytes(data[at + k:at + k + 2], "little") for k in (28, 30, 32))
            f.seek(0)
            f.write(data)

main()
