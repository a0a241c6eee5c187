// Runs one command of the module (d88web.js) in a fresh instance: the
// commands keep their state in globals, so an instance serves one run only.
// Shared by the page's worker and the Node tests.
//
// runCommand(factory, argv, inputs, wasm) resolves to
//   { code, stdout, stderr, files }
// where argv is the command line after the module's name ("d88ls", "IMAGE"),
// inputs maps file names to their bytes (laid in the working folder before
// the run), stdout and stderr are the bytes the program printed, and files
// maps the name of every file in the working folder after the run to its
// bytes. wasm, when given, is the compiled WebAssembly.Module, so that an
// instance costs no compilation; without it the factory loads its own.
(function (root) {
  'use strict';

  const kFolder = '/work';

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
      for (const name of Object.keys(inputs)) {
        // A name may lie in a folder below the working one: "image/NAME".
        const slash = name.lastIndexOf('/');
        if (slash > 0 && !FS.analyzePath(kFolder + '/' + name.slice(0, slash)).exists) {
          FS.mkdirTree(kFolder + '/' + name.slice(0, slash));
        }
        FS.writeFile(kFolder + '/' + name, inputs[name]);
      }
      const returned = m.callMain(argv);
      const files = {};
      for (const name of FS.readdir(kFolder)) {
        if (name === '.' || name === '..') continue;
        const path = kFolder + '/' + name;
        if (FS.isDir(FS.stat(path).mode)) continue;
        files[name] = FS.readFile(path);
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
