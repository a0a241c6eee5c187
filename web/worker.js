// The page's workers: they run the programs on one file after another, so
// that the page never waits on them. For each disk image NAME they run,
// each in a fresh instance of the module, what a person would run in the
// image's folder:
//   d88ls --svg NAME.svg -- NAME     the listing and the disk picture
//   d88adpcm NAME                    the ADPCM file
//   adpcm2wav --svg ADPCM.svg ADPCM  the sounds' table, WAVs and picture
// and post each result back as it comes. The page starts two: one lists
// each file (and opens zip archives, and later the sectors), the other cuts
// and converts it at the same time, on the machine's other core; the page
// shows the second one's results once the listing says the file is a disk
// image it can trust. d88ls names the image in its messages, so it gets the
// name as the user gave it; d88adpcm never prints it and writes ADPCM beside
// it, so it reads the image from a folder of its own, where an image named
// ADPCM is not written over while it is read. A zip archive is opened by the
// lister, and every member that d88ls takes for a disk image is listed, cut
// and converted there as an image of its own.
//
// The page starts these workers from a blob: URL made from the source of
// d88WorkerMain (d88worker.js, which holds the module, the runner, the zip
// reader and this file), so that they run under the page's own content
// security policy; `config.wasm` is the URL of d88web.wasm, absent where
// the script carries the WebAssembly inside it.
//
// Messages in:  { type: 'list', id, name, file }   list the file (file: the File given);
//                 an archive's members are cut and converted too
//               { type: 'cut', id, name, file }    d88adpcm and adpcm2wav on the file, unless it is an archive
//               { type: 'sector', id, request, disk, track, record }
// Messages out: { type: 'loaded' } once the module is ready;
//               { type: 'image', id, parent, name, size } a member of the archive
//                 `parent` that holds a disk, before its runs;
//               { type: 'run', id, step, argv, name, result } for each run
//                 ('listing', 'extraction', 'sounds'), `name` the image's name
//                 as the programs were given it; for the listing also
//                 `verdict`: 'disk', 'doubtful' or 'none';
//               { type: 'archive', id, members, images, skipped: [{ name, reason }], problem }
//               { type: 'sector', id, request, argv, name, result };
//               { type: 'unreadable', id, message } for a file that cannot be read;
//               { type: 'done', id } after the last run of a file;
//               { type: 'failed', id, message } when the module fails.

// What the page's sections are named after: the image's file name, the last
// part of an archive member's path.
function baseName(path) {
  return path.slice(path.lastIndexOf('/') + 1);
}

// The names of an image's own downloads, NAME.svg and NAME.txt: for an
// image named ADPCM (in any case, as Windows and zip tools compare names)
// those are the names of the sample RAM's picture and table, so its own are
// NAME-disk.svg and NAME-disk.txt.
function diskFileName(name, extension) {
  return /^adpcm$/i.test(name) ? name + '-disk' + extension : name + extension;
}

// d88ls's judgement of the image, from what it printed: 'none' when it
// found no disk (its first line says "0 disks"); 'doubtful' when it warned
// that the first disk does not look like a D88 disk for a reason beyond its
// size field (no track inside it, a media type no machine used: what bytes
// that are no image show), for a disk cut short is still a disk whose tracks
// are worth drawing and cutting; else 'disk'.
function verdictOf(result) {
  const head = String.fromCharCode.apply(null, result.stdout.subarray(0, 16));
  if (result.code !== 0 || !/^\d+ disks?\n/.test(head) || /^0 disks\n/.test(head)) return 'none';
  const err = String.fromCharCode.apply(null, result.stderr.subarray(0, 4096));
  const doubt = /: warning: disk 0 does not look like a D88 disk: ([^\n]*)/.exec(err);
  const reasons = doubt ? doubt[1].split('; ') : [];
  return reasons.some((reason) => !/^its size field says /.test(reason)) ? 'doubtful' : 'disk';
}

function d88WorkerBody(config) {
  'use strict';

  // The compiled module, once: every run instantiates it afresh. The
  // offline page's worker script carries it in base64 (D88_WASM_BASE64).
  const compiled = (config.wasm
    ? fetch(config.wasm).then((r) => {
      if (!r.ok) throw new Error('cannot load d88web.wasm: ' + r.status);
      return r.arrayBuffer();
    })
    : Promise.resolve(Uint8Array.from(atob(D88_WASM_BASE64), (c) => c.charCodeAt(0)))).then((bytes) => WebAssembly.compile(bytes));
  let wasm = null;

  // Each listed image's name and bytes, for its sectors.
  const images = new Map();

  function post(message) {
    self.postMessage(message);
  }

  function run(argv, inputs) {
    return D88Run.runCommand(D88Module, argv, inputs, wasm);
  }

  // d88ls's run on an image: its listing and picture, with its command line.
  async function list(name, bytes) {
    const argv = ['d88ls', '--svg', diskFileName(name, '.svg'), '--', name];
    return { argv, result: await run(argv, { [name]: bytes }) };
  }

  // The listing's run, posted with d88ls's judgement of the image.
  function postListing(id, name, listed) {
    const verdict = verdictOf(listed.result);
    post({ type: 'run', id, step: 'listing', argv: listed.argv, name, verdict, result: listed.result });
    return verdict;
  }

  // The runs after the listing: the ADPCM file, then its sounds.
  async function cutAndConvert(id, name, bytes) {
    const argv = ['d88adpcm', 'image/' + name];
    const cut = await run(argv, { [argv[1]]: bytes });
    post({ type: 'run', id, step: 'extraction', argv, name, result: cut });
    if (cut.files.ADPCM) {
      const argv = ['adpcm2wav', '--svg', 'ADPCM.svg', 'ADPCM'];
      post({ type: 'run', id, step: 'sounds', argv, name, result: await run(argv, { ADPCM: cut.files.ADPCM }) });
    }
  }

  async function handleArchive(id, archiveName, bytes) {
    const directory = D88Zip.readDirectory(bytes);
    const skipped = [];
    let found = 0;
    let files = 0;
    for (const member of directory.members) {
      if (member.folder) continue;
      ++files;
      const skip = (reason) => skipped.push({ name: member.name, reason });
      const name = baseName(member.name);
      if (name === '' || name === '.' || name === '..') {
        skip('its name is no file name');
        continue;
      }
      let data;
      try {
        data = await D88Zip.extract(bytes, member);
      } catch (error) {
        skip(error.message);
        continue;
      }
      if (D88Zip.looksLikeZip(data)) {
        skip('it is a zip archive itself: unzip it and open it on its own');
        continue;
      }
      const listed = await list(name, data);
      const verdict = verdictOf(listed.result);
      if (verdict !== 'disk') {
        skip(verdict === 'none' ? 'no disk found in it'
          : 'it does not look like a D88 disk image (unzip it and open it on its own to see what d88ls reads from it)');
        continue;
      }
      const memberId = id + '/' + ++found;
      post({ type: 'image', id: memberId, parent: id, name: archiveName + '/' + member.name, size: data.length });
      keep(memberId, name, data);
      postListing(memberId, name, listed);
      await cutAndConvert(memberId, name, data);
      post({ type: 'done', id: memberId });
    }
    post({ type: 'archive', id, members: files, images: found, skipped, problem: directory.problem });
    post({ type: 'done', id });
  }

  function keep(id, name, bytes) {
    images.set(id, { name, bytes });
  }

  // A file's bytes, or null (and the page told) when it cannot be read.
  async function read(message) {
    try {
      return new Uint8Array(await message.file.arrayBuffer());
    } catch (error) {
      post({ type: 'unreadable', id: message.id, message: String(error && error.message || error) });
      return null;
    }
  }

  function isArchive(name, bytes) {
    return /\.zip$/i.test(name) || D88Zip.looksLikeZip(bytes);
  }

  async function handle(message) {
    const bytes = await read(message);
    if (bytes === null) {
      post({ type: 'done', id: message.id });
    } else if (message.type === 'cut') {
      if (!isArchive(message.name, bytes)) await cutAndConvert(message.id, message.name, bytes);
      post({ type: 'done', id: message.id });
    } else if (isArchive(message.name, bytes)) {
      await handleArchive(message.id, message.name, bytes);
    } else {
      keep(message.id, message.name, bytes);
      postListing(message.id, message.name, await list(message.name, bytes));
      post({ type: 'done', id: message.id });
    }
  }

  // d88ls --sector on an image already given: outside the queue, so that a
  // person need not wait for the files after it.
  async function sector(message) {
    const image = images.get(message.id);
    if (!image) return;
    const argv = ['d88ls', '--sector', message.disk + ':' + message.track + ':' + message.record, '--', image.name];
    const result = await run(argv, { [image.name]: image.bytes });
    post({ type: 'sector', id: message.id, request: message.request, argv, name: image.name, result });
  }

  const ready = compiled.then((module) => {
    wasm = module;
    post({ type: 'loaded' });
  }, (error) => {
    post({ type: 'failed', id: null, message: String(error && error.message || error) });
    throw error;
  });
  let queue = ready;

  self.onmessage = (event) => {
    const message = event.data;
    if (message.type === 'sector') {
      ready.then(() => sector(message)).catch((error) => {
        post({ type: 'failed', id: message.id, message: String(error && error.message || error) });
      });
      return;
    }
    // One file at a time, in the order given.
    queue = queue.then(() => handle(message).catch((error) => {
      post({ type: 'failed', id: message.id, message: String(error && error.message || error) });
      post({ type: 'done', id: message.id });
    }));
  };
}
