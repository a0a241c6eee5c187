// The page in Chromium, driven only through its automation contract
// (web/README.md): the file input, body[data-state], section[data-image],
// [data-output=listing|disk|sounds|error|sector|index] and a[download].
// What it shows and what it hands out must be what the native programs
// print and write, run as a person runs them in the image's folder.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const os = require('os');
const path = require('path');
const { execFileSync } = require('child_process');
const puppeteer = require('puppeteer-core');
const { dirs, image, runNative, difference, chromiumArgs, serve } = require('./common.js');

const kDesktop = { width: 1280, height: 800 };
const kPhone = { width: 390, height: 844, isMobile: true, hasTouch: true };
// The narrowest phone the page is laid out for.
const kNarrowest = 360;

let browser, server, siteUrl, offlineUrl;
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'd88web-browser-'));
fs.mkdirSync(dirs.screenshots, { recursive: true });
const axeSource = fs.readFileSync(require.resolve('axe-core/axe.min.js'), 'utf8');

// Files as people give them, made here from the kit's images: Japanese
// names, a name beginning with '-', images named ADPCM, two files of one
// name, zip archives written by Python's zipfile.
const files = {};
function makeFile(relative, bytes) {
  const full = path.join(scratch, 'files', relative);
  fs.mkdirSync(path.dirname(full), { recursive: true });
  fs.writeFileSync(full, bytes);
  files[relative] = full;
}
function makeZip(relative, members) {
  const full = path.join(scratch, 'files', relative);
  fs.mkdirSync(path.dirname(full), { recursive: true });
  execFileSync('python3', [path.join(__dirname, 'make_zip.py'), full], { input: JSON.stringify(members) });
  files[relative] = full;
}

test.before(async () => {
  makeFile('ボイス名.d88', image('empty.d88'));
  makeFile('音声 サンプル.d88', image('sample.d88'));
  makeFile('-damaged.d88', image('damaged.d88'));
  makeFile('ADPCM', image('sample.d88'));
  makeFile('lower/adpcm', image('damaged.d88'));
  makeFile('one/sample.d88', image('sample.d88'));
  makeFile('two/sample.d88', image('damaged.d88'));
  // A zip of two images as Japanese archives come: a folder entry, one image
  // stored, one deflated under a Shift_JIS name without the UTF-8 flag, a
  // text file under a UTF-8 name with the flag, and an empty file.
  const kit = (name) => path.join(dirs.images, name);
  makeZip('two images.zip', [
    { name: 'disks/', text: '' },
    { name: 'disks/sample.d88', path: kit('sample.d88') },
    { name: 'ディスク/ボイス.d88', path: kit('damaged.d88'), deflate: true, cp932: true },
    { name: '説明.txt', text: 'これはテストです。\n'.repeat(80), deflate: true },
    { name: 'empty.d88', text: '' },
  ]);
  const whole = fs.readFileSync(files['two images.zip']);
  makeFile('cut.zip', whole.subarray(0, Math.floor(whole.length / 2)));
  makeZip('locked.zip', [{ name: 'sample.d88', path: kit('sample.d88'), encrypted: true },
    { name: 'shapes.d88', path: kit('shapes.d88'), deflate: true }]);

  server = await serve(dirs.site);
  siteUrl = `http://127.0.0.1:${server.address().port}/`;
  const zips = fs.readdirSync(path.dirname(dirs.site)).filter((n) => /^d88adpcm-.*-web\.zip$/.test(n));
  assert.strictEqual(zips.length, 1, 'one offline zip');
  const offline = path.join(scratch, 'offline');
  execFileSync('python3', ['-m', 'zipfile', '-e', path.join(path.dirname(dirs.site), zips[0]), offline]);
  offlineUrl = 'file://' + path.join(offline, 'index.html');
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
async function openPage(url, viewport) {
  const page = await browser.newPage();
  await page.setViewport(viewport || kDesktop);
  const client = await page.createCDPSession();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(url || siteUrl, { waitUntil: 'load' });
  await page.waitForSelector('body[data-state=ready]');
  const requests = [];
  page.on('request', (r) => { if (!/^(blob|data):/.test(r.url())) requests.push(r.url()); });
  return { page, client, requests, errors };
}

// A kit image by name, or one of the files made above.
function filePath(name) {
  return files[name] || path.join(dirs.images, name);
}

async function waitDone(view) {
  await view.page.waitForSelector('body[data-state=done]', { timeout: 60000 });
}

async function giveFiles(view, names) {
  const input = await view.page.$('input[type=file]');
  await input.uploadFile(...names.map(filePath));
  await waitDone(view);
}

// A drop of real files (or folders) from the file system on the page.
async function dropPaths(view, paths) {
  const data = { items: [], files: paths, dragOperationsMask: 1 };
  for (const type of ['dragEnter', 'dragOver', 'drop']) {
    await view.client.send('Input.dispatchDragEvent', { type, x: 400, y: 200, data });
  }
  await waitDone(view);
}

const sectionSelector = (name) => `section[data-image=${JSON.stringify(name)}]`;

async function outputs(view, name) {
  return view.page.$eval(sectionSelector(name), (section) => {
    const text = (key) => {
      const e = section.querySelector(`[data-output=${key}]`);
      return e ? e.textContent : null;
    };
    return { listing: text('listing'), sounds: text('sounds'), error: text('error'),
      disk: section.querySelector('[data-output=disk] svg') !== null,
      downloads: Array.from(section.querySelectorAll('a[download]'), (a) => a.getAttribute('download')) };
  });
}

// Clicks a section's download links (or only the one named `only`) and
// returns the files they saved, in a folder of their own (the sections'
// files share names).
async function download(view, name, only) {
  const folder = fs.mkdtempSync(path.join(scratch, 'downloads-'));
  await view.client.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: folder, eventsEnabled: true });
  const links = await view.page.$$(`${sectionSelector(name)} a[download${only ? `=${JSON.stringify(only)}` : ''}]`);
  const saved = {};
  // One at a time: each click's download is complete before the next.
  // Headless Chromium now and then drops a page's download without a word
  // (seen on the twelfth of a page's downloads): a click that starts none
  // within a few seconds is made again.
  for (const link of links) {
    const file = await link.evaluate((a) => a.getAttribute('download'));
    let started = false;
    const begun = () => { started = true; };
    view.client.on('Browser.downloadWillBegin', begun);
    const done = new Promise((resolve, reject) => {
      const timer = setTimeout(() => reject(new Error('no download of ' + file)), 30000);
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
    for (let attempt = 0; attempt < 3 && !started; ++attempt) {
      await link.evaluate((a) => a.click());
      for (let waited = 0; waited < 5000 && !started; waited += 100) await new Promise((r) => setTimeout(r, 100));
    }
    view.client.off('Browser.downloadWillBegin', begun);
    await done;
    saved[file] = new Uint8Array(fs.readFileSync(path.join(folder, file)));
  }
  return saved;
}

// The programs as a person runs them in the image's folder, on the image
// `name` (its bytes `bytes`): the listing and the disk's picture, the
// listing alone as text, the ADPCM file, its sounds with their picture, and
// the table alone as text. An image named ADPCM (in any case) has its
// picture and listing named ADPCM-disk.svg and ADPCM-disk.txt, the names
// ADPCM.svg and ADPCM.txt being the sample RAM's.
function expected(name, bytes) {
  const inputs = { [name]: bytes || image(name) };
  const own = /^adpcm$/i.test(name) ? name + '-disk' : name;
  const arg = name.startsWith('-') ? ['--', name] : [name];
  const listing = runNative(['d88ls', '--svg', own + '.svg', ...arg], inputs);
  const disks = Number(/^(\d+)/.exec(Buffer.from(listing.stdout).toString('latin1'))[1]);
  const result = { listing, disks, files: {} };
  if (disks > 0) {
    result.cut = runNative(['d88adpcm', name], inputs);
    const ram = { ADPCM: result.cut.files.ADPCM };
    result.sounds = runNative(['adpcm2wav', '--svg', 'ADPCM.svg', 'ADPCM'], ram);
    Object.assign(result.files, result.cut.files, result.sounds.files, listing.files, {
      [own + '.txt']: runNative(['d88ls', ...arg], inputs).stdout,
      'ADPCM.txt': runNative(['adpcm2wav', 'ADPCM'], ram).stdout,
    });
  }
  return result;
}

// The members of a zip whose files are stored.
function unzipStored(bytes) {
  const view = Buffer.from(bytes);
  const members = {};
  for (let at = 0; view.readUInt32LE(at) === 0x04034B50;) {
    assert.strictEqual(view.readUInt16LE(at + 8), 0, 'stored, not compressed');
    const size = view.readUInt32LE(at + 18);
    const nameLength = view.readUInt16LE(at + 26);
    const extra = view.readUInt16LE(at + 28);
    const name = view.toString('utf8', at + 30, at + 30 + nameLength);
    assert.ok(!(name in members), `one member named ${name}`);
    const start = at + 30 + nameLength + extra;
    members[name] = new Uint8Array(view.subarray(start, start + size));
    at = start + size;
  }
  return members;
}

// The whole page, for a person to look at.
async function screenshot(view, name) {
  await view.page.screenshot({ path: path.join(dirs.screenshots, name + '.png'), fullPage: true });
}

// Bytes decoded as Shift_JIS by the browser's own decoder, as the contract
// says the page decodes them (decoders differ on bytes that are no
// Shift_JIS: some take an ASCII byte after a lone lead byte into it).
function shiftJis(view, bytes) {
  return view.page.evaluate((b64) => new TextDecoder('shift_jis').decode(Uint8Array.from(atob(b64), (c) => c.charCodeAt(0))),
    Buffer.from(bytes).toString('base64'));
}

// Shows the image of section `section` as the programs would: listing,
// table, and every file; with `zipOnly`, the files through the zip alone
// (Chromium lets a page start only so many downloads).
async function checkImage(view, section, want, zipOnly) {
  const got = await outputs(view, section);
  assert.strictEqual(got.listing, await shiftJis(view, want.listing.stdout), `${section}: listing`);
  if (want.disks > 0) assert.strictEqual(got.sounds, await shiftJis(view, want.sounds.stdout), `${section}: sounds`);
  const zipName = got.downloads.find((f) => f.endsWith('.zip'));
  const saved = await download(view, section, zipOnly ? zipName : null);
  for (const [file, bytes] of zipOnly ? [] : Object.entries(want.files)) {
    assert.ok(file in saved, `${section}: a download of ${file}`);
    assert.strictEqual(difference(saved[file], bytes), null, `${section}: ${file}`);
  }
  if (!zipOnly) assert.deepStrictEqual(Object.keys(saved).filter((f) => f !== zipName).sort(), Object.keys(want.files).sort());
  if (Object.keys(want.files).length > 1) {
    const members = unzipStored(saved[zipName]);
    assert.deepStrictEqual(Object.keys(members).sort(), Object.keys(want.files).sort(), `${section}: the zip's files`);
    for (const [file, bytes] of Object.entries(members)) {
      assert.strictEqual(difference(bytes, want.files[file]), null, `${section}: ${file} in the zip`);
    }
  }
  return { got, saved };
}

test('an image opened through the input: the listing, the sounds and every file, as the programs make them', async () => {
  const view = await openPage();
  await giveFiles(view, ['sample.d88']);
  const want = expected('sample.d88');
  const { got, saved } = await checkImage(view, 'sample.d88', want);
  assert.strictEqual(got.error, '');
  assert.ok('sample.d88.txt' in saved && 'ADPCM.txt' in saved, 'the listing and the table as text');
  // Each WAV file, decoded by the browser's own audio code at its own rate,
  // holds the samples its bytes say.
  for (const name of Object.keys(saved).filter((n) => n.endsWith('.wav'))) {
    const bytes = Buffer.from(saved[name]);
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
  // Each player is named for a screen reader by its sound's number, length
  // and place in the RAM, as the table gives them.
  const labels = await view.page.$$eval('section audio', (all) => all.map((a) => a.getAttribute('aria-label')));
  assert.strictEqual(labels.length, 4);
  assert.strictEqual(labels[2], 'sound 3, 1.20 s, 0x0A000–0x0C570');
  for (const label of labels) assert.match(label, /^sound \d, \d\.\d\d s, 0x[0-9A-F]{5}–0x[0-9A-F]{5}$/);
  assert.ok(view.page.workers().length >= 1, 'the programs run in workers');
  assert.strictEqual(await view.page.evaluate(() => typeof D88Module), 'undefined', 'not on the page itself');
  assert.deepStrictEqual(view.requests, [], 'no request after load');
  assert.deepStrictEqual(view.errors, []);
  await view.page.close();
});

test('images dropped, several at once, each in its section; a Shift_JIS disk name shown right, in the picture too', async () => {
  const view = await openPage();
  const names = ['shapes.d88', 'damaged.d88', 'sjis-name.d88'];
  await dropPaths(view, names.map(filePath));
  const sections = await view.page.$$eval('section[data-image]', (all) => all.map((s) => s.dataset.image));
  assert.deepStrictEqual(sections, names);
  for (const name of names) await checkImage(view, name, expected(name), true);
  // The disk's picture is d88ls's, inline: every shape's title is there
  // to show on hover, its text read as the XML it is (UTF-8).
  for (const name of names) {
    const svg = expected(name).files[name + '.svg'];
    const titles = await view.page.$eval(`${sectionSelector(name)} [data-output=disk]`, (holder, b64) => {
      const bytes = Uint8Array.from(atob(b64), (c) => c.charCodeAt(0));
      const native = new DOMParser().parseFromString(new TextDecoder().decode(bytes), 'image/svg+xml');
      const list = (root) => Array.from(root.querySelectorAll('title, text'), (t) => t.textContent);
      return { shown: list(holder), native: list(native) };
    }, Buffer.from(svg).toString('base64'));
    assert.ok(titles.native.length > 0, name);
    assert.deepStrictEqual(titles.shown, titles.native, `${name}: the picture's titles and text`);
  }
  const sjis = await outputs(view, 'sjis-name.d88');
  assert.ok(sjis.listing.includes('disk 0: "音声サンプル", media type 0x20 (2HD)'), sjis.listing);
  const heading = await view.page.$eval(`${sectionSelector('sjis-name.d88')} [data-output=disk] svg`,
    (svg) => Array.from(svg.querySelectorAll('text'), (t) => t.textContent).join('\n'));
  assert.ok(heading.includes('disk 0: "音声サンプル"'), heading);
  assert.deepStrictEqual(view.requests, [], 'no request after load');
  await view.page.close();
});

test('file names as people give them: Japanese, with a space, beginning with "-", in every message and file', async () => {
  const view = await openPage();
  await giveFiles(view, ['ボイス名.d88', '音声 サンプル.d88', '-damaged.d88']);
  // An empty file: d88ls's own words, the name as given, no folder.
  assert.strictEqual((await outputs(view, 'ボイス名.d88')).error, 'd88ls: ボイス名.d88: no disk found\n');
  await checkImage(view, '音声 サンプル.d88', expected('音声 サンプル.d88', fs.readFileSync(filePath('音声 サンプル.d88'))));
  const { got } = await checkImage(view, '-damaged.d88', expected('-damaged.d88', image('damaged.d88')), true);
  assert.ok(got.downloads.includes('-damaged.d88.svg') && got.downloads.includes('-damaged.d88.zip'), got.downloads);
  assert.deepStrictEqual(view.requests, [], 'no request after load');
  await view.page.close();
});

test('an image named ADPCM, in either case: its own picture and listing are named apart from the sound files', async () => {
  for (const [name, source] of [['ADPCM', 'ADPCM'], ['adpcm', 'lower/adpcm']]) {
    const view = await openPage();
    await giveFiles(view, [source]);
    const { got } = await checkImage(view, name, expected(name, fs.readFileSync(filePath(source))));
    const lower = got.downloads.map((f) => f.toLowerCase());
    assert.strictEqual(new Set(lower).size, lower.length, `${name}: no two downloads of one name: ${got.downloads}`);
    assert.ok(got.downloads.includes(name + '-disk.svg'), got.downloads);
    await view.page.close();
  }
});

test('the worker runs under the page\'s content security policy, hosted and offline: no string eval, no other origin', async () => {
  // Another origin: the same machine on another port, counting what reaches it.
  const reached = [];
  const other = await new Promise((resolve) => {
    const s = require('http').createServer((request, response) => {
      reached.push(request.url);
      response.setHeader('Access-Control-Allow-Origin', '*');
      response.end('reached');
    });
    s.listen(0, '127.0.0.1', () => resolve(s));
  });
  const target = `http://127.0.0.1:${other.address().port}/from-the-worker`;
  try {
    for (const url of [siteUrl, offlineUrl]) {
      const view = await openPage(url);
      const workers = view.page.workers();
      assert.strictEqual(workers.length, 2, `${url}: the page's two workers`);
      // Evaluated as the worker's own code: DevTools lets its own
      // evaluations eval unless told not to.
      const probe = `(async (target) => {
        const attempt = async (what) => {
          try {
            await what();
            return 'allowed';
          } catch (e) {
            return e.name;
          }
        };
        return {
          eval: await attempt(() => eval('1 + 1')),
          function: await attempt(() => new Function('return 1')()),
          fetch: await attempt(() => fetch(target)),
          script: await attempt(() => importScripts(target)),
        };
      })(${JSON.stringify(target)})`;
      for (const worker of workers) {
        const { result } = await worker.client.send('Runtime.evaluate', { expression: probe, awaitPromise: true,
          returnByValue: true, allowUnsafeEvalBlockedByCSP: false });
        assert.deepStrictEqual(result.value, { eval: 'EvalError', function: 'EvalError', fetch: 'TypeError', script: 'NetworkError' },
          `${url}: ${worker.url()}`);
      }
      // And the workers still do their work.
      await giveFiles(view, ['sample.d88']);
      assert.strictEqual((await outputs(view, 'sample.d88')).error, '');
      await view.page.close();
    }
  } finally {
    other.close();
  }
  assert.deepStrictEqual(reached, [], 'nothing reached the other origin');
});

test('a second file: a line of its own in the index, its section scrolled to and its heading focused, the work announced', async () => {
  const view = await openPage();
  await giveFiles(view, ['one/sample.d88']);
  await giveFiles(view, ['two/sample.d88']);
  const got = await view.page.evaluate(async () => {
    await new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve)));
    const sections = Array.from(document.querySelectorAll('section[data-image]'));
    const links = Array.from(document.querySelectorAll('[data-output=index] a[href^="#"]'));
    const second = sections[1];
    const top = second.getBoundingClientRect().top;
    return {
      names: sections.map((s) => s.dataset.image),
      headings: sections.map((s) => s.querySelector('h2').textContent),
      links: links.map((a) => document.getElementById(a.getAttribute('href').slice(1)) === null ? null
        : sections.indexOf(document.getElementById(a.getAttribute('href').slice(1)))),
      lines: links.map((a) => a.parentElement.textContent),
      inView: top >= 0 && top < innerHeight / 2,
      focus: second.contains(document.activeElement),
      status: document.querySelector('[role=status]').textContent,
    };
  });
  assert.deepStrictEqual(got.names, ['sample.d88', 'sample.d88']);
  assert.notStrictEqual(got.headings[0], got.headings[1], 'two files of one name, two headings');
  assert.deepStrictEqual(got.links, [0, 1], 'one link to each section');
  assert.match(got.lines[0], /1 disk.*complete.*4 sounds/, got.lines[0]);
  assert.match(got.lines[1], /1 disk.*incomplete/, got.lines[1]);
  assert.ok(got.inView, 'the second file\'s section scrolled to');
  assert.ok(got.focus, 'focus on the second file\'s section');
  assert.match(got.status, /sample\.d88.*done/, got.status);
  await view.page.close();
});

test('images inside a zip: each member that holds a disk in a section of its own, the others named as skipped', async () => {
  const view = await openPage();
  await giveFiles(view, ['two images.zip']);
  const archive = 'two images.zip';
  const members = ['two images.zip/disks/sample.d88', 'two images.zip/ディスク/ボイス.d88'];
  const sections = await view.page.$$eval('section[data-image]', (all) => all.map((s) => s.dataset.image));
  assert.deepStrictEqual(sections, [archive, ...members]);
  const error = (await outputs(view, archive)).error;
  assert.match(error, /説明\.txt/, error);
  assert.match(error, /empty\.d88/, error);
  assert.doesNotMatch(error, /sample\.d88|ボイス/, error);
  await checkImage(view, members[0], expected('sample.d88'));
  await checkImage(view, members[1], expected('ボイス.d88', image('damaged.d88')), true);
  const index = await view.page.$$eval('[data-output=index] a', (all) => all.map((a) => a.getAttribute('href')));
  assert.strictEqual(index.length, 3);
  // A zip cut short, and one whose first member is encrypted.
  await giveFiles(view, ['cut.zip', 'locked.zip']);
  assert.match((await outputs(view, 'cut.zip')).error, /cut short or damaged/);
  const locked = (await outputs(view, 'locked.zip')).error;
  assert.match(locked, /sample\.d88.*encrypted/, locked);
  await checkImage(view, 'locked.zip/shapes.d88', expected('shapes.d88'), true);
  assert.deepStrictEqual(view.requests, [], 'no request after load');
  assert.deepStrictEqual(view.errors, []);
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
  // Random bytes: the listing as d88ls prints it and its warning that the
  // first disk does not look like a D88 disk; no picture, sounds or files
  // of them until the person asks, and then the programs' own.
  await giveFiles(view, ['random-bytes.bin']);
  const want = expected('random-bytes.bin');
  const random = await outputs(view, 'random-bytes.bin');
  assert.strictEqual(random.listing, await shiftJis(view, want.listing.stdout));
  assert.match(random.error, /does not look like a D88 disk/, random.error);
  assert.ok(random.error.includes(await shiftJis(view, want.listing.stderr)), random.error);
  assert.strictEqual(random.sounds, null);
  assert.strictEqual(random.disk, false);
  assert.deepStrictEqual(random.downloads, []);
  await view.page.click(`${sectionSelector('random-bytes.bin')} button`);
  await waitDone(view);
  await checkImage(view, 'random-bytes.bin', want, true);
  assert.strictEqual((await outputs(view, 'random-bytes.bin')).disk, true);
  // A folder dropped instead of a file.
  const folder = path.join(scratch, 'a folder');
  fs.mkdirSync(folder, { recursive: true });
  await dropPaths(view, [folder]);
  const dropped = await outputs(view, 'a folder');
  assert.match(dropped.error, /folder/);
  assert.deepStrictEqual(dropped.downloads, []);
  // And the page still works.
  await giveFiles(view, ['sample.d88']);
  await checkImage(view, 'sample.d88', expected('sample.d88'), true);
  assert.deepStrictEqual(view.requests, [], 'no request after load');
  await view.page.close();
});

// What d88ls --sector prints for the record at DISK:TRACK:RECORD of `name`.
function nativeSector(name, place) {
  return runNative(['d88ls', '--sector', place, name], { [name]: image(name) });
}

async function sectorShown(view, name, want) {
  const selector = `${sectionSelector(name)} [data-output=sector]`;
  await view.page.waitForFunction((selector, want) => {
    const e = document.querySelector(selector);
    return e && e.textContent === want;
  }, { timeout: 20000 }, selector, await shiftJis(view, want.stdout)).catch(async () => {
    assert.fail(`${name}: the sector shown is ${JSON.stringify(await view.page.$eval(selector, (e) => e.textContent.slice(0, 200)))}`);
  });
}

test('a sector\'s bytes: by click, by keyboard and from the listing, as d88ls --sector prints them; the picture one tab stop', async () => {
  const view = await openPage();
  await giveFiles(view, ['damaged.d88']);
  const picture = `${sectionSelector('damaged.d88')} [data-output=disk]`;
  const cells = await view.page.$$eval(`${picture} rect`, (all) => {
    const records = all.filter((c) => c.hasAttribute('data-record'));
    return {
      records: records.length,
      placed: records.every((c) => /^\d+$/.test(c.dataset.disk) && /^\d+$/.test(c.dataset.track) && /^[1-9]\d*$/.test(c.dataset.record)),
      focusable: records.every((c) => c.hasAttribute('tabindex') && c.tabIndex >= -1),
      stops: records.filter((c) => c.tabIndex === 0).length,
      missing: all.filter((c) => c.classList.contains('missing') && c.hasAttribute('data-record')).length,
    };
  });
  assert.ok(cells.records > 3000, `${cells.records} records drawn`);
  assert.deepStrictEqual([cells.placed, cells.focusable, cells.stops, cells.missing], [true, true, 1, 0]);
  // A click (a tap is the same event) on track 90's short record 21.
  await view.page.click(`${picture} [data-track="90"][data-record="21"]`);
  await sectorShown(view, 'damaged.d88', nativeSector('damaged.d88', '0:90:21'));
  const first = await view.page.$eval(`${sectionSelector('damaged.d88')} [data-output=sector]`, (e) => e.textContent.split('\n')[0]);
  assert.match(first, /^C45 H0 R21 N1 \(128 bytes\)/);
  // The keyboard: from there one to the right, Enter; one down (track 91), Space.
  await view.page.keyboard.press('ArrowRight');
  await view.page.keyboard.press('Enter');
  await sectorShown(view, 'damaged.d88', nativeSector('damaged.d88', '0:90:22'));
  await view.page.keyboard.press('ArrowDown');
  await view.page.keyboard.press(' ');
  await sectorShown(view, 'damaged.d88', nativeSector('damaged.d88', '0:91:22'));
  // The view's own button steps to the next record.
  await view.page.evaluate((name) => Array.from(document.querySelectorAll(`section[data-image="${name}"] button`))
    .find((b) => /^Next record/.test(b.textContent)).click(), 'damaged.d88');
  await sectorShown(view, 'damaged.d88', nativeSector('damaged.d88', '0:91:23'));
  // Tab leaves the picture at once: it is one stop, not thousands.
  await view.page.$eval(`${picture} [tabindex="0"]`, (cell) => cell.focus());
  await view.page.keyboard.press('Tab');
  assert.strictEqual(await view.page.evaluate((p) => document.querySelector(p).contains(document.activeElement), picture), false);
  // A track's line in the listing opens its first record: a click on its
  // words, found in the listing's text.
  const point = await view.page.$eval(`${sectionSelector('damaged.d88')} [data-output=listing]`, (pre) => {
    const at = pre.textContent.indexOf('  track 82:') + 4;
    const walker = document.createTreeWalker(pre, NodeFilter.SHOW_TEXT);
    for (let seen = 0, node = walker.nextNode(); node; node = walker.nextNode()) {
      if (at < seen + node.length) {
        node.parentElement.scrollIntoView({ block: 'center' });
        const range = document.createRange();
        range.setStart(node, at - seen);
        range.setEnd(node, at - seen + 5);
        const box = range.getBoundingClientRect();
        return { x: box.left + box.width / 2, y: box.top + box.height / 2 };
      }
      seen += node.length;
    }
    return null;
  });
  await view.page.mouse.click(point.x, point.y);
  await sectorShown(view, 'damaged.d88', nativeSector('damaged.d88', '0:82:1'));
  assert.deepStrictEqual(view.requests, [], 'no request after load');
  assert.deepStrictEqual(view.errors, []);
  await view.page.close();
});

test('large files: 64 disks in about 70 MB listed without error; a 65th disk after them named by d88ls', async () => {
  for (const name of ['many-disks.d88', 'past-64-disks.d88']) {
    const view = await openPage();
    await giveFiles(view, [name]);
    const want = expected(name);
    const got = await outputs(view, name);
    assert.strictEqual(got.listing, await shiftJis(view, want.listing.stdout), name);
    assert.strictEqual(got.sounds, await shiftJis(view, want.sounds.stdout), name);
    assert.strictEqual(got.error, await shiftJis(view, want.listing.stderr), name);
    // The 64 disks are the most a reader takes: a file that goes on past
    // them is said to.
    assert.strictEqual(want.listing.stderr.length > 0, name === 'past-64-disks.d88', `${name}: d88ls's words on it`);
    await view.page.close();
  }
});

test('the offline zip works from file://', async () => {
  const view = await openPage(offlineUrl);
  await giveFiles(view, ['damaged.d88']);
  const { got } = await checkImage(view, 'damaged.d88', expected('damaged.d88'));
  assert.strictEqual(got.error, '');
  assert.deepStrictEqual(view.requests, [], 'no request after load');
  assert.deepStrictEqual(view.errors, []);
  await view.page.close();
});

// ---- every state, at a desktop's and a phone's width ----------------------

const kStates = [
  { name: 'start', files: [] },
  { name: 'empty', files: ['empty.d88'] },
  { name: 'sample', files: ['sample.d88'], dark: true },
  { name: 'damaged', files: ['damaged.d88'] },
  { name: 'two-disks', files: ['two-disks.d88'] },
  { name: 'random-bytes', files: ['random-bytes.bin'] },
  { name: 'zip', files: ['two images.zip'], dark: true },
  { name: 'sector', files: ['damaged.d88'], sector: '90:21', dark: true },
];

// What the accessibility engine finds serious or critical, in words.
async function accessibilityFindings(view) {
  await view.page.evaluate(axeSource);
  const found = await view.page.evaluate(async () => {
    const result = await axe.run(document, { resultTypes: ['violations'] });
    return result.violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
      .map((v) => `${v.id} (${v.impact}): ${v.help}: ${v.nodes.slice(0, 3).map((n) => n.target.join(' ')).join(', ')}`);
  });
  return found;
}

// What sticks out sideways at the page's width, and the controls a finger
// cannot hit (smaller than 44 × 44 px). The disk picture's sectors are
// exempt: each opens its sector, whose view steps through the others with
// buttons of their own.
function layoutFaults(view) {
  return view.page.evaluate(() => {
    const faults = [];
    const width = document.documentElement.clientWidth;
    if (document.documentElement.scrollWidth > width) faults.push(`the page scrolls sideways: ${document.documentElement.scrollWidth} > ${width}`);
    for (const e of document.querySelectorAll('a[href], button, audio, label.open')) {
      const box = e.getBoundingClientRect();
      if (box.width === 0 && box.height === 0) continue;  // not shown
      if (box.height < 44 || box.width < 44) faults.push(`${e.tagName.toLowerCase()} "${e.textContent.trim().slice(0, 30)}" is ${box.width.toFixed(0)} × ${box.height.toFixed(0)} px`);
    }
    return faults;
  });
}

for (const [form, viewport] of [['desktop', kDesktop], ['phone', kPhone]]) {
  test(`every state of the page at ${viewport.width} × ${viewport.height}: no serious accessibility finding, nothing cut or too small to touch`, async () => {
    for (const state of kStates) {
      for (const scheme of state.dark ? ['light', 'dark'] : ['light']) {
        const view = await openPage(siteUrl, viewport);
        await view.page.emulateMediaFeatures([{ name: 'prefers-color-scheme', value: scheme }]);
        if (state.files.length) await giveFiles(view, state.files);
        const what = `${state.name}, ${form}, ${scheme}`;
        if (state.sector) {
          const [track, record] = state.sector.split(':');
          await view.page.click(`[data-output=disk] [data-track="${track}"][data-record="${record}"]`);
          await sectorShown(view, state.files[0], nativeSector(state.files[0], '0:' + state.sector));
        } else {
          await view.page.evaluate(() => window.scrollTo(0, 0));
        }
        await screenshot(view, `${state.name}-${form}${scheme === 'dark' ? '-dark' : ''}`);
        assert.deepStrictEqual(await accessibilityFindings(view), [], what);
        assert.deepStrictEqual(await layoutFaults(view), [], what);
        if (form === 'phone') {
          await view.page.setViewport(Object.assign({}, viewport, { width: kNarrowest }));
          assert.deepStrictEqual(await layoutFaults(view), [], `${what} at ${kNarrowest} px`);
        }
        assert.deepStrictEqual(view.errors, [], what);
        await view.page.close();
      }
    }
  });
}

test('by keyboard: the open button shows its focus, and the page says when the work is done', async () => {
  const view = await openPage();
  await view.page.keyboard.press('Tab');
  const focus = await view.page.evaluate(() => {
    const label = document.activeElement.closest('label') || document.activeElement;
    const style = getComputedStyle(label);
    return { tag: document.activeElement.type, outline: style.outlineStyle, width: parseFloat(style.outlineWidth) };
  });
  assert.strictEqual(focus.tag, 'file');
  assert.notStrictEqual(focus.outline, 'none');
  assert.ok(focus.width >= 2, `a ring of ${focus.width} px`);
  await giveFiles(view, ['sample.d88']);
  const status = await view.page.$eval('[role=status]', (s) => ({ text: s.textContent, live: s.getAttribute('aria-live') }));
  assert.match(status.text, /sample\.d88 done/);
  await view.page.close();
});
