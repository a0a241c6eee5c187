// Zip archives, in memory. Written: the page's "all of them" download, its
// files stored as they are (makeZip). Read: the archives users give, their
// members stored or deflated (inflated by the browser's own
// DecompressionStream) and checked against the CRC-32 the archive records.
// Used by the page, its worker and the Node tests.
//
//   makeZip([{ name, bytes }]) -> the archive's bytes, names in UTF-8
//   readDirectory(bytes) -> { members, problem }
//     members: [{ name, folder, method, encrypted, size, compressedSize, crc, offset, problem }]
//       name       the member's path in the archive, decoded: UTF-8 where the
//                  archive says so (flag bit 11, or an Info-ZIP Unicode path
//                  field whose CRC matches the raw name), else UTF-8 where the
//                  bytes are valid UTF-8, else Shift_JIS, the names Japanese
//                  Windows writes; '\' read as '/'
//       folder     true for a folder entry (a name ending in '/')
//       problem    why its bytes cannot be read ("encrypted", a method the
//                  page does not know, ...), or null
//     problem: why the archive cannot be read at all, or null
//   extract(bytes, member) -> Promise<Uint8Array>, rejected with an Error
//     whose message says what is damaged
//
// Every offset and size in the archive is checked against the bytes before
// it is used: a damaged or hostile archive gives a problem, never a read
// past the end.
(function (root) {
  'use strict';

  const kLocalHeader = 0x04034B50;
  const kCentralHeader = 0x02014B50;
  const kEnd = 0x06054B50;
  const kEnd64 = 0x06064B50;
  const kEnd64Locator = 0x07064B50;
  const kLocalHeaderSize = 30;
  const kCentralHeaderSize = 46;
  const kEndSize = 22;
  const kEnd64Size = 56;
  const kEnd64LocatorSize = 20;
  const kMaxComment = 0xFFFF;
  const kZip64Field = 0x0001;
  const kUnicodePathField = 0x7075;
  const kFlagEncrypted = 0x0001;
  const kFlagUtf8 = 0x0800;
  const kStored = 0;
  const kDeflated = 8;
  // The largest member the page inflates: well above any disk image (64 2HD
  // disks are about 80 MB), well below what a worker's memory holds.
  const kMaxMemberSize = 512 * 1024 * 1024;

  const crcTable = new Uint32Array(256);
  for (let n = 0; n < 256; ++n) {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
    crcTable[n] = c >>> 0;
  }
  function crc32(bytes) {
    let c = 0xFFFFFFFF;
    for (let i = 0; i < bytes.length; ++i) c = crcTable[(c ^ bytes[i]) & 255] ^ (c >>> 8);
    return (c ^ 0xFFFFFFFF) >>> 0;
  }

  const utf8 = new TextDecoder('utf-8');
  const utf8Strict = new TextDecoder('utf-8', { fatal: true });
  const shiftJis = new TextDecoder('shift_jis');

  function decodeName(raw, flaggedUtf8) {
    if (flaggedUtf8) return utf8.decode(raw);
    try {
      return utf8Strict.decode(raw);
    } catch (e) {
      return shiftJis.decode(raw);
    }
  }

  // Little-endian fields of `bytes`; the caller has checked the range.
  const u16 = (b, at) => b[at] | (b[at + 1] << 8);
  const u32 = (b, at) => (b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (b[at + 3] << 24)) >>> 0;
  // A 64-bit field as a Number; null past 2^53, which no file here reaches.
  function u64(b, at) {
    const high = u32(b, at + 4);
    return high >= 0x200000 ? null : high * 0x100000000 + u32(b, at);
  }
  // Whether `length` bytes from `at` lie inside `bytes`, written so that no
  // sum can pass the end unseen.
  const inside = (bytes, at, length) => at >= 0 && length >= 0 && at <= bytes.length && length <= bytes.length - at;

  // The end-of-directory record: the last signature that leaves room for
  // its record and the comment it announces.
  function findEnd(bytes) {
    const last = bytes.length - kEndSize;
    const first = Math.max(0, last - kMaxComment);
    for (let at = last; at >= first; --at) {
      if (u32(bytes, at) === kEnd && at + kEndSize + u16(bytes, at + 20) <= bytes.length) return at;
    }
    return -1;
  }

  function directoryError(text) {
    return { members: [], problem: text };
  }

  function readDirectory(bytes) {
    if (bytes.length < kEndSize) return directoryError('it is too short to be a zip archive');
    const end = findEnd(bytes);
    if (end < 0) {
      return directoryError(u32(bytes, 0) === kLocalHeader
        ? 'it is cut short or damaged: its directory, at the end of the file, is missing'
        : 'it is not a zip archive');
    }
    if (u16(bytes, end + 4) !== 0 || u16(bytes, end + 6) !== 0) {
      return directoryError('it is one part of an archive split over several files');
    }
    let count = u16(bytes, end + 10);
    let size = u32(bytes, end + 12);
    let start = u32(bytes, end + 16);
    // A zip64 archive says so with 0xFFFF or 0xFFFFFFFF here, and gives the
    // true values in a record of its own, found through a locator just
    // before this one.
    if (count === 0xFFFF || size === 0xFFFFFFFF || start === 0xFFFFFFFF) {
      const locator = end - kEnd64LocatorSize;
      if (locator < 0 || u32(bytes, locator) !== kEnd64Locator) {
        return directoryError('it is damaged: its zip64 directory cannot be found');
      }
      const at = u64(bytes, locator + 8);
      if (at === null || !inside(bytes, at, kEnd64Size) || u32(bytes, at) !== kEnd64) {
        return directoryError('it is damaged: its zip64 directory cannot be found');
      }
      count = u64(bytes, at + 32);
      size = u64(bytes, at + 40);
      start = u64(bytes, at + 48);
      if (count === null || size === null || start === null) return directoryError('it is damaged: its directory is out of place');
    }
    // An archive with bytes in front of it (a self-extracting one, or a zip
    // glued to another file) keeps the offsets it had alone: the directory
    // ends where its end record begins, so the difference is the bytes in
    // front, to be added to every offset.
    let front = 0;
    if (!(inside(bytes, start, 4) && u32(bytes, start) === kCentralHeader) && end - size - start > 0 &&
        inside(bytes, end - size, 4) && u32(bytes, end - size) === kCentralHeader) {
      front = end - size - start;
      start += front;
    }
    if (!inside(bytes, start, size)) return directoryError('it is cut short or damaged: its directory lies past the end of the file');

    const members = [];
    let at = start;
    for (let i = 0; i < count; ++i) {
      if (!inside(bytes, at, kCentralHeaderSize) || u32(bytes, at) !== kCentralHeader) {
        return directoryError('it is damaged: its directory breaks off after ' + i + ' of ' + count + ' entries');
      }
      const flags = u16(bytes, at + 8);
      const method = u16(bytes, at + 10);
      const crc = u32(bytes, at + 16);
      let compressedSize = u32(bytes, at + 20);
      let size = u32(bytes, at + 24);
      const nameLength = u16(bytes, at + 28);
      const extraLength = u16(bytes, at + 30);
      const commentLength = u16(bytes, at + 32);
      let offset = u32(bytes, at + 42);
      const total = kCentralHeaderSize + nameLength + extraLength + commentLength;
      if (!inside(bytes, at, total)) return directoryError('it is damaged: its directory breaks off inside entry ' + (i + 1));
      const raw = bytes.subarray(at + kCentralHeaderSize, at + kCentralHeaderSize + nameLength);
      let name = null;
      // The extra fields: the zip64 sizes and offset, in this order, each
      // present only where its 32-bit field says 0xFFFFFFFF; and the
      // Info-ZIP Unicode path.
      let damaged = false;
      for (let e = at + kCentralHeaderSize + nameLength, stop = e + extraLength; e + 4 <= stop;) {
        const id = u16(bytes, e);
        const length = u16(bytes, e + 2);
        const data = e + 4;
        if (length > stop - data) break;
        if (id === kZip64Field) {
          let next = data;
          const take = () => {
            if (next + 8 > data + length) {
              damaged = true;
              return 0;
            }
            const value = u64(bytes, next);
            next += 8;
            if (value === null) damaged = true;
            return value || 0;
          };
          if (size === 0xFFFFFFFF) size = take();
          if (compressedSize === 0xFFFFFFFF) compressedSize = take();
          if (offset === 0xFFFFFFFF) offset = take();
        } else if (id === kUnicodePathField && length >= 5 && bytes[data] === 1 && u32(bytes, data + 1) === crc32(raw)) {
          name = utf8.decode(bytes.subarray(data + 5, data + length));
        }
        e = data + length;
      }
      if (name === null) name = decodeName(raw, (flags & kFlagUtf8) !== 0);
      name = name.replace(/\\/g, '/');
      const folder = name.endsWith('/');
      let problem = null;
      if (damaged) problem = 'its entry in the directory is damaged';
      else if (flags & kFlagEncrypted) problem = 'it is encrypted';
      else if (method !== kStored && method !== kDeflated) problem = 'it is compressed by a method the page cannot undo (method ' + method + ')';
      else if (size > kMaxMemberSize) problem = 'it is too large for the page (' + size.toLocaleString('en') + ' bytes)';
      members.push({ name, folder, method, encrypted: (flags & kFlagEncrypted) !== 0, size, compressedSize, crc,
        offset: offset + front, problem });
      at += total;
    }
    return { members, problem: null };
  }

  // The member's compressed bytes, from its local header.
  function memberData(bytes, member) {
    const at = member.offset;
    if (!inside(bytes, at, kLocalHeaderSize) || u32(bytes, at) !== kLocalHeader) {
      throw new Error('it is damaged: its header is not where the directory says');
    }
    const start = at + kLocalHeaderSize + u16(bytes, at + 26) + u16(bytes, at + 28);
    if (!inside(bytes, start, member.compressedSize)) throw new Error('it is cut short: its data runs past the end of the file');
    return bytes.subarray(start, start + member.compressedSize);
  }

  // Inflates `data`, refusing more than `limit` bytes.
  async function inflate(data, limit) {
    const stream = new Blob([data]).stream().pipeThrough(new DecompressionStream('deflate-raw'));
    const reader = stream.getReader();
    const out = new Uint8Array(limit);
    let length = 0;
    for (;;) {
      let chunk;
      try {
        chunk = await reader.read();
      } catch (e) {
        throw new Error('it is damaged: its compressed data does not inflate');
      }
      if (chunk.done) break;
      if (chunk.value.length > limit - length) {
        reader.cancel().catch(() => {});
        throw new Error('it is damaged: it inflates to more than the ' + limit.toLocaleString('en') + ' bytes it should');
      }
      out.set(chunk.value, length);
      length += chunk.value.length;
    }
    return length === limit ? out : out.subarray(0, length);
  }

  async function extract(bytes, member) {
    if (member.problem) throw new Error(member.problem);
    const data = memberData(bytes, member);
    const out = member.method === kStored ? data.slice() : await inflate(data, member.size);
    if (out.length !== member.size) {
      throw new Error('it is damaged: it holds ' + out.length.toLocaleString('en') + ' bytes, not the ' +
        member.size.toLocaleString('en') + ' its directory says');
    }
    if (crc32(out) !== member.crc) throw new Error('it is damaged: its bytes do not match their CRC-32');
    return out;
  }

  function makeZip(files) {
    const encoder = new TextEncoder();
    const parts = [];
    const central = [];
    let offset = 0;
    // A fixed time, 1980-01-01 00:00, so that the same files give the same
    // archive.
    const time = 0, date = (0 << 9) | (1 << 5) | 1;
    for (const file of files) {
      const name = encoder.encode(file.name);
      const crc = crc32(file.bytes);
      const local = new DataView(new ArrayBuffer(kLocalHeaderSize));
      local.setUint32(0, kLocalHeader, true);
      local.setUint16(4, 10, true);       // version needed: 1.0
      local.setUint16(6, kFlagUtf8, true);   // names in UTF-8
      local.setUint16(8, 0, true);        // stored
      local.setUint16(10, time, true);
      local.setUint16(12, date, true);
      local.setUint32(14, crc, true);
      local.setUint32(18, file.bytes.length, true);
      local.setUint32(22, file.bytes.length, true);
      local.setUint16(26, name.length, true);
      local.setUint16(28, 0, true);
      parts.push(new Uint8Array(local.buffer), name, file.bytes);
      const entry = new DataView(new ArrayBuffer(kCentralHeaderSize));
      entry.setUint32(0, kCentralHeader, true);
      entry.setUint16(4, 20, true);       // made by: version 2.0
      entry.setUint16(6, 10, true);
      entry.setUint16(8, kFlagUtf8, true);
      entry.setUint16(10, 0, true);
      entry.setUint16(12, time, true);
      entry.setUint16(14, date, true);
      entry.setUint32(16, crc, true);
      entry.setUint32(20, file.bytes.length, true);
      entry.setUint32(24, file.bytes.length, true);
      entry.setUint16(28, name.length, true);
      entry.setUint32(42, offset, true);
      central.push(new Uint8Array(entry.buffer), name);
      offset += kLocalHeaderSize + name.length + file.bytes.length;
    }
    const centralSize = central.reduce((sum, p) => sum + p.length, 0);
    const end = new DataView(new ArrayBuffer(kEndSize));
    end.setUint32(0, kEnd, true);
    end.setUint16(8, files.length, true);
    end.setUint16(10, files.length, true);
    end.setUint32(12, centralSize, true);
    end.setUint32(16, offset, true);
    const all = parts.concat(central, [new Uint8Array(end.buffer)]);
    const out = new Uint8Array(offset + centralSize + kEndSize);
    let at = 0;
    for (const p of all) {
      out.set(p, at);
      at += p.length;
    }
    return out;
  }

  // Whether `bytes` begin as a zip archive does: a member's header, or the
  // end record of an empty archive.
  function looksLikeZip(bytes) {
    return bytes.length >= 4 && (u32(bytes, 0) === kLocalHeader || u32(bytes, 0) === kEnd);
  }

  const api = { makeZip, readDirectory, extract, looksLikeZip, crc32 };
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.D88Zip = api;
})(typeof self !== 'undefined' ? self : this);
