// The module against the native programs: the same command lines, on the
// kit's images, must print the same bytes on standard output and error,
// end with the same exit code and write the same files, byte for byte.
// Both forms of the page run this one module, compiled once and
// instantiated for each run as the page's workers do.
'use strict';

const test = require('node:test');
const assert = require('node:assert');
const fs = require('fs');
const path = require('path');
const { dirs, image, runNative, written, difference } = require('./common.js');
const { runCommand } = require('../d88run.js');

// Every command line, in one table. IMAGE stands for each image of the kit
// (laid in a folder of its own, as the page lays it), ADPCM for the file
// d88adpcm cut from that image, RAM for each sample RAM image of the kit; a
// line with none of them runs once. Options a program does not know give
// its usage error, which must agree as well, so a new option is covered by
// a new line here.
const kCommands = [
  ['d88ls', 'IMAGE'],
  ['d88ls', '--svg', 'disk.svg', 'IMAGE'],
  ['d88ls', '--svg', 'disk.svg', '--', 'IMAGE'],
  ['d88ls', '--json', 'IMAGE'],
  ['d88adpcm', 'IMAGE'],
  ['adpcm2wav', '--svg', 'ADPCM.svg', 'ADPCM'],
  ['adpcm2wav', '--list', '--json', 'ADPCM'],
  ['adpcm2wav', '--svg', 'RAM.svg', 'RAM'],
  ['adpcm2wav', '--list', 'RAM'],
  ['adpcm2wav', '--whole', '-o', 'whole', 'RAM'],
  ['adpcm2wav', '--range', '0x100:0x900', '-r', '8000', 'RAM'],
  ['adpcm2wav', '--bogus', 'RAM'],
  ['d88ls'],
  ['d88ls', 'missing.d88'],
  ['d88ls', '--help'],
  ['d88ls', '--version'],
  ['d88adpcm'],
  ['d88adpcm', 'missing.d88'],
  ['d88adpcm', 'a', 'b'],
  ['adpcm2wav'],
  ['adpcm2wav', '--help'],
  ['adpcm2wav', '--version'],
  ['adpcm2wav', 'missing'],
];
const onImage = (argv) => argv.includes('IMAGE') || argv.includes('ADPCM');
const onRam = (argv) => argv.includes('RAM');

const kImages = fs.readdirSync(dirs.images).filter((n) => /\.d88$|^random-bytes\.bin$/.test(n) && n !== 'many-disks.d88').sort();
const kRams = ['ram-sample.bin', 'ram-filled.bin', 'ram-random.bin'];

const wasm = new WebAssembly.Module(fs.readFileSync(path.join(dirs.module, 'd88web.wasm')));
const forms = [
  { name: 'module', factory: require(path.join(dirs.module, 'd88web.js')), wasm },
];

async function compare(argv, inputs) {
  const expected = runNative(argv, inputs);
  for (const form of forms) {
    const got = await runCommand(form.factory, argv, inputs, form.wasm);
    const what = `${form.name}: ${argv.join(' ')}`;
    assert.strictEqual(got.code, expected.code, `${what}: exit code`);
    assert.strictEqual(difference(got.stdout, expected.stdout), null, `${what}: standard output`);
    assert.strictEqual(difference(got.stderr, expected.stderr), null, `${what}: standard error`);
    const files = written(got.files, inputs);
    assert.deepStrictEqual(Object.keys(files).sort(), Object.keys(expected.files).sort(), `${what}: files written`);
    for (const name of Object.keys(files)) {
      assert.strictEqual(difference(files[name], expected.files[name]), null, `${what}: ${name}`);
    }
  }
  return expected;
}

function substitute(argv, names) {
  return argv.map((a) => (a in names ? names[a] : a));
}

for (const name of kImages) {
  test(`the module and the programs agree on ${name}`, async () => {
    const inputs = { ['image/' + name]: image(name) };
    const cut = runNative(['d88adpcm', 'image/' + name], inputs);
    for (const argv of kCommands.filter(onImage)) {
      const names = { IMAGE: 'image/' + name, ADPCM: 'ADPCM' };
      const withAdpcm = argv.includes('ADPCM') ? { ADPCM: cut.files.ADPCM || new Uint8Array(0) } : inputs;
      await compare(substitute(argv, names), withAdpcm);
    }
  });
}

test('the module and the programs agree on sample RAM images and without an input', async () => {
  for (const ram of kRams) {
    for (const argv of kCommands.filter(onRam)) await compare(substitute(argv, { RAM: ram }), { [ram]: image(ram) });
  }
  for (const argv of kCommands.filter((a) => !onImage(a) && !onRam(a))) await compare(argv, {});
});

test('the module and the programs agree on an image of 64 disks', async () => {
  await compare(['d88ls', '--svg', 'disk.svg', 'image/many-disks.d88'], { 'image/many-disks.d88': image('many-disks.d88') });
});

// The page's own command lines on images named as people name them: the
// name in the working folder, as d88ls gets it (Japanese, with a space,
// beginning with '-'), and ADPCM, which d88adpcm writes over as it does
// natively.
test('the module and the programs agree whatever the image\'s name', async () => {
  for (const name of ['ボイス名.d88', 'ディスク 1.d88', '-x.d88', 'ADPCM']) {
    for (const source of ['sample.d88', 'empty.d88']) {
      const inputs = { [name]: image(source) };
      await compare(['d88ls', '--svg', name + '.svg', '--', name], inputs);
      await compare(['d88ls', '--', name], inputs);
      await compare(['d88adpcm', name], inputs);
    }
  }
});

test('the module\'s own command line: no command, or one it does not know, is a usage error (exit 2)', async () => {
  for (const argv of [[], ['d88'], ['D88LS', 'x.d88'], ['--help']]) {
    for (const form of forms) {
      const got = await runCommand(form.factory, argv, {}, form.wasm);
      const what = `${form.name}: ${JSON.stringify(argv)}`;
      assert.strictEqual(got.code, 2, `${what}: exit code`);
      assert.strictEqual(Buffer.from(got.stdout).toString(), '', `${what}: standard output`);
      assert.strictEqual(Buffer.from(got.stderr).toString(), 'Usage: d88web d88ls|d88adpcm|adpcm2wav ARGUMENTS...\n', what);
      assert.deepStrictEqual(Object.keys(got.files), [], `${what}: files`);
    }
  }
});

test('a second run in the same instance would inherit the first one\'s state: every run gets a fresh one', async () => {
  // The sample first, then the shapes image, whose tracks past 80 are
  // absent: in one instance they would keep the sample's sounds.
  const factory = forms[0].factory;
  const first = await runCommand(factory, ['d88adpcm', 'image/s.d88'], { 'image/s.d88': image('sample.d88') }, wasm);
  const second = await runCommand(factory, ['d88adpcm', 'image/d.d88'], { 'image/d.d88': image('shapes.d88') }, wasm);
  const native = runNative(['d88adpcm', 'image/d.d88'], { 'image/d.d88': image('shapes.d88') });
  assert.strictEqual(difference(second.files.ADPCM, native.files.ADPCM), null);
  assert.notStrictEqual(difference(first.files.ADPCM, second.files.ADPCM), null);
});
