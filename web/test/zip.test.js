// The page's zip reader (web/zip.js) on archives written by Python's
// zipfile: stored and deflated members, names in UTF-8 with the flag, in
// Shift_JIS without it, and through the zip64 records; damaged, cut and
// encrypted archives each refused with a reason, never read past their end.
// And the page's own zip of downloads, opened by Python's zipfile.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');
const { makeZip, readDirectory, extract, looksLikeZip } = require('../zip.js');

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'd88web-zip-'));
test.after(() => fs.rmSync(scratch, { recursive: true, force: true }));

// An archive written by make_zip.py from `members` (its SPEC), as bytes.
function pythonZip(members, env) {
  const out = path.join(scratch, 'archive.zip');
  execFileSync('python3', [path.join(__dirname, 'make_zip.py'), out], { input: JSON.stringify(members),
    env: Object.assign({}, process.env, env || {}) });
  return new Uint8Array(fs.readFileSync(out));
}

// Bytes that do not compress to nothing: a counter with a little noise.
function someBytes(n, seed) {
  const out = new Uint8Array(n);
  let x = seed;
  for (let i = 0; i < n; ++i) {
    x = (x * 1103515245 + 12345) >>> 0;
    out[i] = (i & 0xF0) ^ (x >>> 28);
  }
  return out;
}

async function readAll(bytes) {
  const directory = readDirectory(bytes);
  const files = {};
  for (const member of directory.members.filter((m) => !m.folder)) {
    files[member.name] = await extract(bytes, member).then((b) => Buffer.from(b).toString('latin1'),
      (e) => 'refused: ' + e.message);
  }
  return { problem: directory.problem, names: directory.members.map((m) => m.name), files };
}

test('stored and deflated members, and every way a name is written', async () => {
  const image = path.join(scratch, 'image.bin');
  fs.writeFileSync(image, someBytes(70000, 7));
  const want = Buffer.from(someBytes(70000, 7)).toString('latin1');
  const cases = [
    { what: 'stored', members: [{ name: 'a.d88', path: image }], names: ['a.d88'] },
    { what: 'deflated', members: [{ name: 'a.d88', path: image, deflate: true }], names: ['a.d88'] },
    { what: 'in a folder, with its entry', members: [{ name: 'disks/', text: '' }, { name: 'disks/a.d88', path: image, deflate: true }],
      names: ['disks/', 'disks/a.d88'] },
    { what: 'folders parted by \\, as some Windows tools write them', members: [{ name: 'disks\\a.d88', path: image, cp932: true }],
      names: ['disks/a.d88'] },
    { what: 'UTF-8 with the flag', members: [{ name: 'ゲーム/音声.d88', path: image, deflate: true }], names: ['ゲーム/音声.d88'] },
    { what: 'Shift_JIS without the flag', members: [{ name: 'ゲーム/ボイス名.d88', path: image, cp932: true }],
      names: ['ゲーム/ボイス名.d88'] },
    // ソ and 表 end in 0x5C, a backslash only as a byte of its own.
    { what: 'Shift_JIS trail bytes 0x5C', members: [{ name: 'ソフト表示.d88', path: image, cp932: true, deflate: true }],
      names: ['ソフト表示.d88'] },
    { what: 'with bytes in front of it, as a self-extracting archive has', members: [{ name: 'a.d88', path: image, deflate: true }],
      names: ['a.d88'], front: 5000 },
    { what: 'zip64 records', members: [{ name: 'a.d88', path: image, deflate: true }, { name: 'b.d88', path: image }],
      names: ['a.d88', 'b.d88'], env: { ZIP64: '1' } },
  ];
  for (const c of cases) {
    const zip = pythonZip(c.members, c.env);
    const bytes = c.front ? new Uint8Array(Buffer.concat([Buffer.from(someBytes(c.front, 11)), zip])) : zip;
    assert.ok(c.front || looksLikeZip(bytes), c.what);
    const got = await readAll(bytes);
    assert.strictEqual(got.problem, null, c.what);
    assert.deepStrictEqual(got.names, c.names, c.what);
    for (const name of c.names.filter((n) => !n.endsWith('/'))) assert.ok(got.files[name] === want, `${c.what}: ${name}`);
  }
});

test('an Info-ZIP Unicode path field names the member where its CRC matches the raw name', async () => {
  // One stored member whose raw name is the Latin-1 "x.d88"; the field
  // (0x7075: version 1, the raw name's CRC-32, the UTF-8 name) says "音.d88".
  const { crc32 } = require('../zip.js');
  for (const matches of [true, false]) {
    const zip = Buffer.from(makeZip([{ name: 'x.d88', bytes: new Uint8Array([1, 2, 3]) }]));
    const utf8 = Buffer.from('音.d88');
    const field = Buffer.alloc(9 + utf8.length);
    field.writeUInt16LE(0x7075, 0);
    field.writeUInt16LE(5 + utf8.length, 2);
    field[4] = 1;
    field.writeUInt32LE(matches ? crc32(Buffer.from('x.d88')) : 0, 5);
    utf8.copy(field, 9);
    // The central directory entry with the field, flag cleared.
    const central = zip.indexOf(Buffer.from([0x50, 0x4B, 1, 2]));
    const end = zip.indexOf(Buffer.from([0x50, 0x4B, 5, 6]));
    const entry = Buffer.concat([zip.subarray(central, central + 46 + 5), field]);
    entry.writeUInt16LE(0, 8);
    entry.writeUInt16LE(field.length, 30);
    const record = Buffer.from(zip.subarray(end));
    record.writeUInt32LE(entry.length, 12);
    const bytes = new Uint8Array(Buffer.concat([zip.subarray(0, central), entry, record]));
    const got = await readAll(bytes);
    assert.strictEqual(got.problem, null);
    assert.deepStrictEqual(got.names, [matches ? '音.d88' : 'x.d88']);
    assert.strictEqual(got.files[got.names[0]], '\x01\x02\x03');
  }
});

test('damaged, cut, encrypted and foreign archives are refused with a reason', async () => {
  const image = path.join(scratch, 'image.bin');
  fs.writeFileSync(image, someBytes(5000, 3));
  const good = pythonZip([{ name: 'a.d88', path: image, deflate: true }, { name: 'b.d88', path: image }]);
  const firstData = 30 + 'a.d88'.length;
  const damage = (edit) => {
    const bytes = Uint8Array.from(good);
    edit(bytes);
    return bytes;
  };
  const cases = [
    { what: 'cut short', bytes: good.subarray(0, good.length - 30), problem: /cut short or damaged: its directory/ },
    { what: 'not a zip', bytes: someBytes(3000, 1), problem: /not a zip archive/ },
    { what: 'empty', bytes: new Uint8Array(0), problem: /too short/ },
    { what: 'a byte of deflated data changed', bytes: damage((b) => { b[firstData + 40] ^= 0x55; }),
      member: 'a.d88', refused: /damaged/ },
    { what: 'a byte of stored data changed', bytes: damage((b) => { b[b.length - 200] ^= 1; }),
      member: 'b.d88', refused: /CRC-32/ },
    { what: 'encrypted', bytes: pythonZip([{ name: 'a.d88', path: image, encrypted: true }]), member: 'a.d88',
      refused: /encrypted/ },
  ];
  for (const c of cases) {
    const got = await readAll(c.bytes);
    if (c.problem) {
      assert.match(String(got.problem), c.problem, c.what);
      assert.deepStrictEqual(got.names, [], c.what);
    } else {
      assert.strictEqual(got.problem, null, c.what);
      assert.match(got.files[c.member], /^refused: /, c.what);
      assert.match(got.files[c.member], c.refused, c.what);
    }
  }
  // A method the page does not know (14, LZMA): the method field of the
  // directory entry.
  const lzma = damage((b) => {
    const at = Buffer.from(b).indexOf(Buffer.from([0x50, 0x4B, 1, 2]));
    b[at + 10] = 14;
  });
  assert.match((await readAll(lzma)).files['a.d88'], /refused: .*method 14/);
});

test('every prefix and every one-byte change of an archive gives members or a reason, nothing else', async () => {
  const small = path.join(scratch, 'small.bin');
  fs.writeFileSync(small, someBytes(300, 5));
  const good = pythonZip([{ name: 'a', path: small, deflate: true }, { name: 'ボ', path: small, cp932: true }]);
  const variants = [];
  for (let n = 0; n < good.length; ++n) variants.push(good.subarray(0, n));
  for (let i = 0; i < good.length; ++i) {
    const changed = Uint8Array.from(good);
    changed[i] ^= 0xFF;
    variants.push(changed);
  }
  for (const bytes of variants) {
    const directory = readDirectory(bytes);
    assert.ok(directory.problem === null || typeof directory.problem === 'string');
    for (const member of directory.members) {
      // What comes out is either the member's true bytes, checked by its
      // CRC, or a refusal with a reason.
      await extract(bytes, member).then((out) => assert.ok(out.length === member.size),
        (e) => assert.ok(e instanceof Error && e.message.length > 0, String(e)));
    }
  }
});

test('the page\'s zip of downloads opens in Python\'s zipfile, names in UTF-8, every byte in place', () => {
  const files = [{ name: 'ADPCM', bytes: someBytes(1000, 2) }, { name: '音声.d88.svg', bytes: new Uint8Array(0) },
    { name: 'ADPCM-01.wav', bytes: someBytes(44, 9) }];
  const out = path.join(scratch, 'downloads.zip');
  fs.writeFileSync(out, makeZip(files));
  const listing = JSON.parse(execFileSync('python3', ['-c', `
import json, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
assert z.testzip() is None
print(json.dumps([[i.filename, list(z.read(i))] for i in z.infolist()]))`, out]).toString());
  assert.deepStrictEqual(listing, files.map((f) => [f.name, Array.from(f.bytes)]));
});
