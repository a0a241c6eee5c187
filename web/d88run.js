// Runs one command of the module (d88web.js) in a fresh instance: the
// commands keep their state in globals, so an instance serves one run only.
// Shared by the page's worker and the Node tests.
//
// runCommand(factory, argv, inputs, wasm) resolves to
//   { code, stdout, stderr, files }
// where argv is the command line after the module's name ("d88ls", "IMAGE"),
// inputs maps file names to their bytes (laid in the working folder before
// the run), stdout and stderr are the bytes the program printed, and files
// maps the name of every file the run created or replaced in the working
// folder to its bytes: an input the program wrote over ("d88adpcm ADPCM"
// replaces its own image, as it does natively) is there, one it only read
// is not. wasm, when given, is the compiled WebAssembly.Module, so that an
// instance costs no compilation; without it the factory loads its own.
(function (root) {
  'use strict';

  const kFolder = '/work';

  function sameBytes(a, b) {
    if (a.length !== b.length) return false;
    for (let i = 0; i < a.length; ++i) if (a[i] !== b[i]) return false;
    return true;
  }

  function runCommand(factory, argv, inputs, wasm) {
    const stdout = [];
    const stderr = [];
    let exitCode = null;
    const options = {
      noInitialRun: true,
      // Text arrives byte by byte, as the program wrote it; nothing is
      // decoded here (names and some messages are Shift_JIS).
      preRun: [(m) => {
        m.FS.init(() => null, (b) => { if (b !== null) stdout.push(b & 255); },
          (b) => { if (b !== null) stderr.push(b & 255); });
      }],
      print: () => {},
      printErr: () => {},
      quit: (status, toThrow) => { exitCode = status; throw toThrow; },
    };
    if (wasm) {
      options.instantiateWasm = (imports, receive) => {
        WebAssembly.instantiate(wasm, imports).then((instance) => receive(instance, wasm));
        return {};
      };
    }
    return factory(options).then((m) => {
      const FS = m.FS;
      FS.mkdir(kFolder);
      FS.chdir(kFolder);
      // Each input's file node and time: the programs write their files
      // under a temporary name and rename it, so a file written over is a
      // new node; one written in place would have a new time or size.
      const nodes = {};
      for (const name of Object.keys(inputs)) {
        // A name may lie in a folder below the working one: "disks/NAME".
        const slash = name.lastIndexOf('/');
        if (slash > 0 && !FS.analyzePath(kFolder + '/' + name.slice(0, slash)).exists) {
          FS.mkdirTree(kFolder + '/' + name.slice(0, slash));
        }
        FS.writeFile(kFolder + '/' + name, inputs[name]);
        const stat = FS.stat(kFolder + '/' + name);
        nodes[name] = { ino: stat.ino, time: stat.mtime.getTime(), size: stat.size };
      }
      const returned = m.callMain(argv);
      const files = {};
      for (const name of FS.readdir(kFolder)) {
        if (name === '.' || name === '..') continue;
        const path = kFolder + '/' + name;
        const stat = FS.stat(path);
        if (FS.isDir(stat.mode)) continue;
        const input = nodes[name];
        if (input && stat.ino === input.ino && stat.mtime.getTime() === input.time && stat.size === input.size) continue;
        const bytes = FS.readFile(path);
        if (input && sameBytes(bytes, inputs[name])) continue;
        files[name] = bytes;
      }
      return {
        code: exitCode !== null ? exitCode : returned,
        stdout: Uint8Array.from(stdout),
        stderr: Uint8Array.from(stderr),
        files,
      };
    });
  }

  const api = { runCommand };
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.D88Run = api;
})(typeof self !== 'undefined' ? self : this);
