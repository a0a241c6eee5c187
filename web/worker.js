// The page's worker: runs the programs on one image after another, so that
// the page never waits on them. For each image it runs, each in a fresh
// instance of the module,
//   d88ls --svg NAME.svg image/NAME      the listing and the disk picture
//   d88adpcm image/NAME                  the ADPCM file
//   adpcm2wav --svg ADPCM.svg ADPCM      the sounds' table, WAVs and picture
// (the last two only when the image holds a disk), and posts each result
// back as it comes. The image lies in a folder of its own so that no name it
// may have, "ADPCM" included, meets a file the programs write.
//
// Messages in:  { id, name, bytes }            (bytes: an ArrayBuffer)
// Messages out: { type: 'loaded' } once the module is ready;
//               { type: 'run', id, step, argv, result } for each run;
//               { type: 'done', id } after the last run of an image;
//               { type: 'failed', id, message } when the module fails.
'use strict';

// The offline page carries the module and this file in one script and
// defines D88Module before this runs; the hosted site loads them beside it.
if (typeof D88Module === 'undefined') importScripts('d88web.js', 'd88run.js');

// The compiled module, once: every run instantiates it afresh.
const compiled = typeof D88_SINGLE_FILE !== 'undefined'
  ? Promise.resolve(null)
  : fetch('d88web.wasm').then((r) => {
    if (!r.ok) throw new Error('cannot load d88web.wasm: ' + r.status);
    return r.arrayBuffer();
  }).then((bytes) => WebAssembly.compile(bytes));

function run(wasm, id, step, argv, inputs) {
  return D88Run.runCommand(D88Module, argv, inputs, wasm).then((result) => {
    // Copied, not transferred: the next run may need a file (ADPCM) again.
    const files = {};
    for (const name of Object.keys(result.files)) {
      if (!(name in inputs)) files[name] = result.files[name];  // the page has the inputs already
    }
    self.postMessage({ type: 'run', id, step, argv, result: Object.assign({}, result, { files }) });
    return result;
  });
}

// The number of disks d88ls found: its first line, "N disk(s)".
function diskCount(listing) {
  const match = /^(\d+) disks?\n/.exec(String.fromCharCode.apply(null, listing.subarray(0, 16)));
  return match ? Number(match[1]) : -1;
}

async function handle(wasm, message) {
  const { id, name } = message;
  const image = 'image/' + name;
  const bytes = new Uint8Array(message.bytes);
  const listed = await run(wasm, id, 'listing', ['d88ls', '--svg', name + '.svg', image], { [image]: bytes });
  if (diskCount(listed.stdout) > 0) {
    const cut = await run(wasm, id, 'extraction', ['d88adpcm', image], { [image]: bytes });
    if (cut.files.ADPCM) {
      await run(wasm, id, 'sounds', ['adpcm2wav', '--svg', 'ADPCM.svg', 'ADPCM'], { ADPCM: cut.files.ADPCM });
    }
  }
  self.postMessage({ type: 'done', id });
}

let queue = compiled.then((wasm) => {
  self.postMessage({ type: 'loaded' });
  return wasm;
}, (error) => {
  self.postMessage({ type: 'failed', id: null, message: String(error && error.message || error) });
  throw error;
});

self.onmessage = (event) => {
  const message = event.data;
  // One image at a time, in the order given.
  queue = queue.then((wasm) => handle(wasm, message).then(() => wasm, (error) => {
    self.postMessage({ type: 'failed', id: message.id, message: String(error && error.message || error) });
    self.postMessage({ type: 'done', id: message.id });
    return wasm;
  }));
};
