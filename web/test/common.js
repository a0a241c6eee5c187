// What the page's tests share: where the builds and the images are, and
// the programs run natively and in the module on the same command line.
'use strict';

const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');
const { spawnSync } = require('child_process');

const root = path.resolve(__dirname, '..', '..');
const out = process.env.D88_WEB_OUT || path.join(root, 'build-web');
const dirs = {
  native: path.join(out, 'native'),
  module: path.join(out, 'wasm', 'web'),
  images: path.join(out, 'images'),
  site: path.join(out, 'site'),
  screenshots: path.join(out, 'screenshots'),
};
const programs = {
  d88ls: path.join(dirs.native, 'd88ls', 'd88ls'),
  d88adpcm: path.join(dirs.native, 'tool', 'd88adpcm'),
  adpcm2wav: path.join(dirs.native, 'adpcm2wav', 'adpcm2wav'),
};

function image(name) {
  return fs.readFileSync(path.join(dirs.images, name));
}

// Every file of `folder` and the folders below it, by relative path.
function readTree(folder, prefix = '') {
  const files = {};
  for (const entry of fs.readdirSync(folder, { withFileTypes: true }).sort((a, b) => (a.name < b.name ? -1 : 1))) {
    const full = path.join(folder, entry.name);
    if (entry.isDirectory()) Object.assign(files, readTree(full, prefix + entry.name + '/'));
    else files[prefix + entry.name] = new Uint8Array(fs.readFileSync(full));
  }
  return files;
}

// Runs argv ([program, ...arguments]) natively in a fresh folder holding
// `inputs`; returns what runCommand returns, the files written beside the
// inputs (the inputs themselves left out when unchanged).
function runNative(argv, inputs) {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'd88web-'));
  try {
    for (const [name, bytes] of Object.entries(inputs)) {
      fs.mkdirSync(path.dirname(path.join(folder, name)), { recursive: true });
      fs.writeFileSync(path.join(folder, name), bytes);
    }
    const result = spawnSync(programs[argv[0]], argv.slice(1), { cwd: folder, argv0: argv[0], maxBuffer: 1 << 28 });
    if (result.error) throw result.error;
    return {
      code: result.status,
      stdout: new Uint8Array(result.stdout),
      stderr: new Uint8Array(result.stderr),
      files: written(readTree(folder), inputs),
    };
  } finally {
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

// The files of a run but the inputs it left as they were.
function written(files, inputs) {
  const out = {};
  for (const [name, bytes] of Object.entries(files)) {
    if (name in inputs && Buffer.compare(Buffer.from(bytes), Buffer.from(inputs[name])) === 0) continue;
    out[name] = bytes;
  }
  return out;
}

// Where two byte strings first differ, for a message; null when equal.
function difference(a, b) {
  const n = Math.min(a.length, b.length);
  for (let i = 0; i < n; ++i) if (a[i] !== b[i]) return `differ at byte ${i} (${a[i]} against ${b[i]})`;
  return a.length === b.length ? null : `lengths ${a.length} and ${b.length}`;
}

function chromiumArgs(profile) {
  return ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync', '--user-data-dir=' + profile];
}

const kTypes = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm',
  '.svg': 'image/svg+xml' };

// The site, served from this machine's loopback address only.
function serve(folder) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname).replace(/^\/$/, '/index.html');
    const file = path.join(folder, path.normalize(name));
    fs.readFile(file, (error, data) => {
      if (error || !file.startsWith(folder)) {
        response.statusCode = 404;
        response.end();
        return;
      }
      response.setHeader('Content-Type', kTypes[path.extname(file)] || 'application/octet-stream');
      response.end(data);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

module.exports = { root, dirs, programs, image, readTree, runNative, written, difference, chromiumArgs, serve };
