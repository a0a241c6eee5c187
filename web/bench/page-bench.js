// The page's figures (a benchmark, not a test): in headless Chromium, with
// the module already loaded, the time from a file given to the file input
// to everything shown (body[data-state=done]) for the sample image, and to
// the listing shown for the 64-disk image; beside them the native programs'
// time for the same runs, and the gzipped size of what the page loads.
// node web/bench/page-bench.js [ROUNDS]
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');
const zlib = require('zlib');
const { performance } = require('perf_hooks');
const puppeteer = require('puppeteer-core');
const { dirs, image, runNative, chromiumArgs, serve } = require('../test/common.js');

const rounds = Number(process.argv[2] || 10);

function median(values) {
  const sorted = values.slice().sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

function gzipped(files) {
  return files.reduce((sum, f) => sum + zlib.gzipSync(fs.readFileSync(f), { level: 9 }).length, 0);
}

// The native programs run as the page runs them, in milliseconds.
function nativeTime(name) {
  const inputs = { ['image/' + name]: image(name) };
  const start = performance.now();
  const listed = runNative(['d88ls', '--svg', name + '.svg', 'image/' + name], inputs);
  if (!/^0 disks/.test(Buffer.from(listed.stdout).toString('latin1'))) {
    const cut = runNative(['d88adpcm', 'image/' + name], inputs);
    runNative(['adpcm2wav', '--svg', 'ADPCM.svg', 'ADPCM'], { ADPCM: cut.files.ADPCM });
  }
  return performance.now() - start;
}

// Milliseconds from the input's change event to `selector` matching.
async function timeGiven(page, file, selector) {
  await page.evaluate((selector) => {
    window.benchDone = new Promise((resolve) => {
      const input = document.querySelector('input[type=file]');
      input.addEventListener('change', () => {
        const start = performance.now();
        window.benchStart = start;
        const check = () => {
          if (document.querySelector(selector)) {
            observer.disconnect();
            resolve(performance.now() - start);
          }
        };
        const observer = new MutationObserver(check);
        observer.observe(document.body, { attributes: true, childList: true, subtree: true });
      }, { once: true, capture: true });
    });
  }, selector);
  const input = await page.$('input[type=file]');
  await input.uploadFile(file);
  return page.evaluate(() => window.benchDone);
}

(async () => {
  const site = dirs.site;
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'd88web-bench-'));
  const browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium', args: chromiumArgs(profile) });
  const server = await serve(site);
  const forms = {
    site: `http://127.0.0.1:${server.address().port}/`,
    offline: 'file://' + path.join(site, '..', 'offline', 'index.html'),
  };
  const sample = path.join(dirs.images, 'sample.d88');
  const many = path.join(dirs.images, 'many-disks.d88');
  const results = { nativeSample: [], nativeMany: [] };
  for (const [form, url] of Object.entries(forms)) {
    results[form + 'Sample'] = [];
    results[form + 'Listed'] = [];
    results[form + 'ManyDone'] = [];
    for (let i = 0; i < rounds; ++i) {
      const page = await browser.newPage();
      await page.goto(url);
      await page.waitForSelector('body[data-state=ready]');
      results[form + 'Sample'].push(await timeGiven(page, sample, 'body[data-state=done]'));
      await page.close();
      if (form === 'site') results.nativeSample.push(nativeTime('sample.d88'));
    }
    for (let i = 0; i < Math.min(rounds, 3); ++i) {
      const page = await browser.newPage();
      await page.goto(url);
      await page.waitForSelector('body[data-state=ready]');
      results[form + 'Listed'].push(await timeGiven(page, many, 'section[data-image="many-disks.d88"] [data-output=listing]'));
      await page.waitForSelector('body[data-state=done]', { timeout: 120000 });
      results[form + 'ManyDone'].push(await page.evaluate(() => performance.now() - window.benchStart));
      await page.close();
      if (form === 'site') results.nativeMany.push(nativeTime('many-disks.d88'));
    }
  }
  server.close();
  await browser.close();
  fs.rmSync(profile, { recursive: true, force: true });

  const m = (k) => median(results[k]).toFixed(0);
  const module = gzipped([path.join(site, 'd88web.wasm'), path.join(dirs.module, 'd88web.js')]);
  const worker = gzipped([path.join(site, 'd88worker.js'), path.join(site, 'd88web.wasm')]);
  const offline = gzipped([path.join(site, '..', 'offline', 'd88worker.js')]);
  const page = gzipped(['index.html', 'app.js', 'zip.js', 'style.css', 'icon.svg'].map((f) => path.join(site, f)));
  console.log(`date: ${new Date().toISOString()}`);
  console.log(`machine: ${os.cpus().length} x ${os.cpus()[0].model}, ${(os.totalmem() / 2 ** 30).toFixed(0)} GiB, ` +
    `${os.type()} ${os.release()}, Chromium (headless), node ${process.version}`);
  console.log(`sample image, file given to everything shown: median ${m('siteSample')} ms hosted, ` +
    `${m('offlineSample')} ms offline, of ${rounds} each (native programs, the same three runs: ${m('nativeSample')} ms)`);
  console.log(`64-disk image (${(fs.statSync(many).size / 1e6).toFixed(1)} MB), file given to listing shown: ` +
    `median ${m('siteListed')} ms hosted, ${m('offlineListed')} ms offline, of ${results.siteListed.length} each ` +
    `(native, all three runs: ${m('nativeMany')} ms); to everything shown, its picture of 256,256 sectors ` +
    `included: ${m('siteManyDone')} ms hosted, ${m('offlineManyDone')} ms offline`);
  console.log(`module and glue, gzipped: ${(module / 1024).toFixed(1)} KiB (${module} bytes: d88web.wasm + d88web.js); ` +
    `with the runner, zip reader and worker (d88worker.js + d88web.wasm, what the site loads for them): ` +
    `${(worker / 1024).toFixed(1)} KiB; ` +
    `the offline page's d88worker.js, d88web.wasm in base64 inside: ${(offline / 1024).toFixed(1)} KiB; the page's own files: ${(page / 1024).toFixed(1)} KiB`);
})();
