// The page in Chromium, driven only through its automation contract
// (web/README.md): the file input, section[data-image], body[data-state],
// [data-output=listing|sounds|error] and a[download]. What it shows and
// what it hands out must be what the native programs print and write.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');
const puppeteer = require('puppeteer-core');
const { dirs, image, runNative, difference, chromiumArgs, serve } = require('./common.js');

let browser, server, siteUrl;
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'd88web-browser-'));
fs.mkdirSync(dirs.screenshots, { recursive: true });

test.before(async () => {
  server = await serve(dirs.site);
  siteUrl = `http://127.0.0.1:${server.address().port}/`;
  browser = await puppeteer.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: chromiumArgs(path.join(scratch, 'profile')), headless: true });
});
test.after(async () => {
  if (browser) await browser.close();
  if (server) server.close();
  fs.rmSync(scratch, { recursive: true, force: true });
});

// A fresh page of the site (or `url`), its downloads saved to a folder of
// its own, every request after load recorded.
async function openPage(url) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1200, height: 900 });
  const client = await page.createCDPSession();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(url || siteUrl, { waitUntil: 'load' });
  await page.waitForSelector('body[data-state=ready]');
  const requests = [];
  page.on('request', (r) => { if (!/^(blob|data):/.test(r.url())) requests.push(r.url()); });
  return { page, client, requests, errors };
}

function imagePath(name) {
  return path.join(dirs.images, name);
}

async function giveFiles(view, names) {
  const input = await view.page.$('input[type=file]');
  await input.uploadFile(...names.map(imagePath));
  await view.page.waitForSelector('body[data-state=done]', { timeout: 60000 });
}

// A drop of real files (or folders) from the file system on the page.
async function dropPaths(view, paths) {
  const data = { items: [], files: paths, dragOperationsMask: 1 };
  for (const type of ['dragEnter', 'dragOver', 'drop']) {
    await view.client.send('Input.dispatchDragEvent', { type, x: 400, y: 200, data });
  }
  await view.page.waitForSelector('body[data-state=done]', { timeout: 60000 });
}

async function outputs(view, name) {
  return view.page.$eval(`section[data-image="${name}"]`, (section) => {
    const text = (key) => {
      const e = section.querySelector(`[data-output=${key}]`);
      return e ? e.textContent : null;
    };
    return { listing: text('listing'), sounds: text('sounds'), error: text('error'),
      downloads: Array.from(section.querySelectorAll('a[download]'), (a) => a.getAttribute('download')) };
  });
}

// Clicks a section's download links (or only the one named `only`) and
// returns the files they saved, in a folder of their own (the sections'
// files share names).
async function download(view, name, only) {
  const folder = fs.mkdtempSync(path.join(scratch, 'downloads-'));
  await view.client.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder, eventsEnabled: true });
  const links = await view.page.$$(`section[data-image="${name}"] a[download${only ? `="${only}"` : ''}]`);
  const files = {};
  // One at a time: each click's download is complete before the next.
  for (const link of links) {
    const file = await link.evaluate((a) => a.getAttribute('download'));
    const done = new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error('no download of ' + file)), 20000);
      const listener = (event) => {
        if (event.state === 'inProgress') return;
        view.client.off('Browser.downloadProgress', listener);
        clearTimeout(timer);
        if (event.state === 'completed') resolve();
        else reject(new Error(`download of ${file}: ${event.state}`));
      };
      view.client.on('Browser.downloadProgress', listener);
    });
    // The link's own click, as a person's would be: the pointer could miss
    // it while the audio players above it still take their height.
    await link.evaluate((a) => a.click());
    await done;
    files[file] = new Uint8Array(fs.readFileSync(path.join(folder, file)));
  }
  return files;
}

// What the native programs make of the image, run as the page runs them.
function expected(name) {
  const inputs = { ['image/' + name]: image(name) };
  const listing = runNative(['d88ls', '--svg', name + '.svg', 'image/' + name], inputs);
  const disks = Number(/^(\d+)/.exec(Buffer.from(listing.stdout).toString('latin1'))[1]);
  const result = { listing, disks, files: Object.assign({}, listing.files) };
  if (disks > 0) {
    result.cut = runNative(['d88adpcm', 'image/' + name], inputs);
    result.sounds = runNative(['adpcm2wav', '--svg', 'ADPCM.svg', 'ADPCM'], { ADPCM: result.cut.files.ADPCM });
    Object.assign(result.files, result.cut.files, result.sounds.files);
  }
  return result;
}

// The members of a zip whose files are stored.
function unzipStored(bytes) {
  const view = Buffer.from(bytes);
  const files = {};
  for (let at = 0; view.readUInt32LE(at) === 0x04034B50;) {
    assert.strictEqual(view.readUInt16LE(at + 8), 0, 'stored, not compressed');
    const size = view.readUInt32LE(at + 18);
    const nameLength = view.readUInt16LE(at + 26);
    const extra = view.readUInt16LE(at + 28);
    const name = view.toString('utf8', at + 30, at + 30 + nameLength);
    const start = at + 30 + nameLength + extra;
    files[name] = new Uint8Array(view.subarray(start, start + size));
    at = start + size;
  }
  return files;
}

// The page's top as a person first sees it, and each section on its own,
// for a person to look at.
async function screenshot(view, name) {
  await view.page.evaluate(() => window.scrollTo(0, 0));
  await view.page.screenshot({ path: path.join(dirs.screenshots, name + '.png') });
  const sections = await view.page.$$('section[data-image]');
  for (const section of sections) {
    const image = await section.evaluate((s) => s.dataset.image);
    await section.screenshot({ path: path.join(dirs.screenshots, `${name}-${image.replace(/[^\w.-]+/g, '_')}.png`) });
  }
}

// Bytes decoded as Shift_JIS by the browser's own decoder, as the contract
// says the page decodes them (decoders differ on bytes that are no
// Shift_JIS: some take an ASCII byte after a lone lead byte into it).
function shiftJis(view, bytes) {
  return view.page.evaluate((b64) => new TextDecoder('shift_jis').decode(Uint8Array.from(atob(b64), (c) => c.charCodeAt(0))),
    Buffer.from(bytes).toString('base64'));
}

// Shows `name` as the programs would: listing, table, and every file;
// with `zipOnly`, the files through the zip alone (Chromium lets a page
// start only so many downloads).
async function checkImage(view, name, want, zipOnly) {
  const got = await outputs(view, name);
  assert.strictEqual(got.listing, await shiftJis(view, want.listing.stdout), `${name}: listing`);
  if (want.disks > 0) assert.strictEqual(got.sounds, await shiftJis(view, want.sounds.stdout), `${name}: sounds`);
  const files = await download(view, name, zipOnly ? name + '.zip' : null);
  for (const [file, bytes] of zipOnly ? [] : Object.entries(want.files)) {
    assert.ok(file in files, `${name}: a download of ${file}`);
    assert.strictEqual(difference(files[file], bytes), null, `${name}: ${file}`);
  }
  const zips = Object.keys(files).filter((f) => f.endsWith('.zip'));
  if (Object.keys(want.files).length > 1) {
    assert.deepStrictEqual(zips, [name + '.zip'], `${name}: one zip named after the image`);
    const members = unzipStored(files[zips[0]]);
    assert.deepStrictEqual(Object.keys(members).sort(), Object.keys(want.files).sort(), `${name}: the zip's files`);
    for (const [file, bytes] of Object.entries(members)) {
      assert.strictEqual(difference(bytes, want.files[file]), null, `${name}: ${file} in the zip`);
    }
  }
  return { got, files };
}

test('an image opened through the input: the listing, the sounds and every file, as the programs make them', async () => {
  const view = await openPage();
  await giveFiles(view, ['sample.d88']);
  const want = expected('sample.d88');
  const { got, files } = await checkImage(view, 'sample.d88', want);
  assert.strictEqual(got.error, '');
  // Each WAV file, decoded by the browser's own audio code at its own rate,
  // holds the samples its bytes say.
  for (const name of Object.keys(files).filter((n) => n.endsWith('.wav'))) {
    const bytes = Buffer.from(files[name]);
    const rate = bytes.readUInt32LE(24);
    const samples = (bytes.length - 44) / 2;
    const decoded = await view.page.evaluate(async (b64, rate) => {
      const data = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0)).buffer;
      const buffer = await new OfflineAudioContext(1, 1, rate).decodeAudioData(data);
      return { rate: buffer.sampleRate, channels: buffer.numberOfChannels, samples: Array.from(buffer.getChannelData(0)) };
    }, bytes.toString('base64'), rate);
    assert.strictEqual(decoded.rate, rate, name);
    assert.strictEqual(decoded.channels, 1, name);
    assert.strictEqual(decoded.samples.length, samples, name);
    for (let i = 0; i < samples; ++i) {
      // Within one step: decoders divide by 32767 or by 32768.
      if (Math.abs(decoded.samples[i] - bytes.readInt16LE(44 + 2 * i) / 32768) > 1 / 32768) {
        assert.fail(`${name}: sample ${i}: ${decoded.samples[i]}`);
      }
    }
  }
  assert.ok(view.page.workers().length >= 1, 'the programs run in a worker');
  assert.strictEqual(await view.page.evaluate(() => typeof D88Module), 'undefined', 'not on the page itself');
  assert.deepStrictEqual(view.requests, [], 'no request after load');
  assert.deepStrictEqual(view.errors, []);
  await screenshot(view, 'sample');
  await view.page.close();
});

test('images dropped, several at once, each in its section; a Shift_JIS disk name shown right', async () => {
  const view = await openPage();
  const names = ['shapes.d88', 'damaged.d88', 'sjis-name.d88'];
  await dropPaths(view, names.map(imagePath));
  const sections = await view.page.$$eval('section[data-image]', (all) => all.map((s) => s.dataset.image));
  assert.deepStrictEqual(sections, names);
  for (const name of names) await checkImage(view, name, expected(name), true);
  // The disk's picture is d88ls's, inline: every shape's title is there
  // to show on hover.
  for (const name of names) {
    const svg = expected(name).files[name + '.svg'];
    const titles = await view.page.$eval(`section[data-image="${name}"] [data-output=disk]`, (holder, b64) => {
      const bytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
      const native = new DOMParser().parseFromString(new TextDecoder('shift_jis').decode(bytes), 'image/svg+xml');
      const list = (root) => Array.from(root.querySelectorAll('title'), (t) => t.textContent);
      return { shown: list(holder), native: list(native) };
    }, Buffer.from(svg).toString('base64'));
    assert.ok(titles.native.length > 0, name);
    assert.deepStrictEqual(titles.shown, titles.native, `${name}: the picture's titles`);
  }
  const sjis = await outputs(view, 'sjis-name.d88');
  assert.ok(sjis.listing.includes('disk 0: "音声サンプル", media type 0x20 (2HD)'), sjis.listing);
  assert.deepStrictEqual(view.requests, [], 'no request after load');
  await screenshot(view, 'several-dropped');
  await view.page.close();
});

test('bad input is named in words, and the page stays usable', async () => {
  const view = await openPage();
  // No disk: an empty file, and one shorter than a disk header.
  await giveFiles(view, ['empty.d88', 'short-header.d88']);
  for (const name of ['empty.d88', 'short-header.d88']) {
    const got = await outputs(view, name);
    assert.strictEqual(got.listing, '0 disks\n', name);
    assert.match(got.error, /no disk found/i, name);
  }
  await screenshot(view, 'no-disk');
  // Random bytes: the listing as d88ls prints it, and its warning that the
  // first disk does not look like a D88 disk.
  await giveFiles(view, ['random-bytes.bin']);
  const want = expected('random-bytes.bin');
  const random = await outputs(view, 'random-bytes.bin');
  assert.strictEqual(random.listing, await shiftJis(view, want.listing.stdout));
  assert.match(random.error, /does not look like a D88 disk/, random.error);
  assert.ok(random.error.includes(await shiftJis(view, want.listing.stderr)), random.error);
  await screenshot(view, 'random-bytes');
  // A folder dropped instead of a file.
  const folder = path.join(scratch, 'a folder');
  fs.mkdirSync(folder, { recursive: true });
  await dropPaths(view, [folder]);
  const dropped = await outputs(view, 'a folder');
  assert.match(dropped.error, /folder/);
  assert.deepStrictEqual(dropped.downloads, []);
  await screenshot(view, 'folder');
  // And the page still works.
  await giveFiles(view, ['sample.d88']);
  await checkImage(view, 'sample.d88', expected('sample.d88'));
  assert.deepStrictEqual(view.requests, [], 'no request after load');
  await view.page.close();
});

test('an image of 64 disks, about 70 MB, is listed without error', async () => {
  const view = await openPage();
  await giveFiles(view, ['many-disks.d88']);
  const want = expected('many-disks.d88');
  const got = await outputs(view, 'many-disks.d88');
  assert.strictEqual(got.listing, await shiftJis(view, want.listing.stdout));
  assert.strictEqual(got.error, '');
  assert.strictEqual(got.sounds, await shiftJis(view, want.sounds.stdout));
  await screenshot(view, 'many-disks');
  await view.page.close();
});

test('the offline zip works from file://', async () => {
  const zips = fs.readdirSync(path.dirname(dirs.site)).filter((n) => /^d88adpcm-.*-web\.zip$/.test(n));
  assert.strictEqual(zips.length, 1, 'one offline zip');
  const folder = path.join(scratch, 'offline');
  execFileSync('python3', ['-m', 'zipfile', '-e', path.join(path.dirname(dirs.site), zips[0]), folder]);
  const view = await openPage('file://' + path.join(folder, 'index.html'));
  await giveFiles(view, ['damaged.d88']);
  const { got } = await checkImage(view, 'damaged.d88', expected('damaged.d88'));
  assert.strictEqual(got.error, '');
  assert.deepStrictEqual(view.requests, [], 'no request after load');
  assert.deepStrictEqual(view.errors, []);
  await screenshot(view, 'offline');
  await view.page.close();
});
