// The page: takes disk images from the file input or a drop, hands them to
// the worker, and shows what the programs made of each in a section of its
// own. Nothing is sent anywhere: the files are read here and stay here.
//
// The automation contract (see README.md): body[data-state] is "ready"
// once the programs are loaded, "working" or "done"; each image has a section[data-image=NAME] holding
// [data-output=listing], [data-output=sounds], [data-output=error] and
// a[download] links named as the programs name their files.
'use strict';

(function () {
  // The programs print bytes: disk names and d88adpcm's open-failure line
  // are Shift_JIS, and ASCII reads the same in it.
  const shiftJis = new TextDecoder('shift_jis');
  const kHeaderSize = 688;  // a D88 disk header; anything shorter holds no disk

  let worker = null;
  let loaded = false;  // the worker has the programs ready
  let nextId = 1;
  let active = 0;
  let finished = 0;
  const images = new Map();  // id -> the section's parts

  // No state until the programs are loaded: a page that says "ready" makes
  // no more requests.
  function setState() {
    const state = active > 0 ? 'working' : finished > 0 ? 'done' : loaded ? 'ready' : null;
    if (state) document.body.dataset.state = state;
  }

  // The offline page carries the worker's code, the module included, as the
  // function d88WorkerMain (file:// refuses a worker script by path); the
  // hosted site has worker.js beside this file.
  function makeWorker() {
    if (typeof d88WorkerMain === 'function') {
      const source = '(' + d88WorkerMain.toString() + ')();\n';
      return new Worker(URL.createObjectURL(new Blob([source], { type: 'text/javascript' })));
    }
    return new Worker('worker.js');
  }

  function element(tag, attributes, text) {
    const e = document.createElement(tag);
    for (const [key, value] of Object.entries(attributes || {})) e.setAttribute(key, value);
    if (text !== undefined) e.textContent = text;
    return e;
  }

  function plural(n, word) {
    return n.toLocaleString('en') + ' ' + word + (n === 1 ? '' : 's');
  }

  // A section for one image, with the parts filled as results come.
  function addSection(name, size) {
    const section = element('section', { 'data-image': name });
    const heading = element('h2', {}, name + ' ');
    if (size !== null) heading.append(element('span', { class: 'size' }, '(' + plural(size, 'byte') + ')'));
    const error = element('div', { 'data-output': 'error', role: 'alert' });
    const working = element('p', { class: 'working' }, 'Working…');
    section.append(heading, error, working);
    document.getElementById('results').append(section);
    return { name, size, section, error, working, downloads: [], zipFiles: [], list: null, players: null };
  }

  function showError(image, text) {
    if (!text) return;
    image.error.textContent += (image.error.textContent && !image.error.textContent.endsWith('\n') ? '\n' : '') + text;
  }

  function part(image, key, title) {
    if (image[key]) return image[key];
    const box = element('div', { class: 'part part-' + key });
    box.append(element('h3', {}, title));
    if (image.working.parentNode === image.section) image.section.insertBefore(box, image.working);
    else image.section.append(box);
    image[key] = box;
    return box;
  }

  function addDownload(image, name, bytes, type) {
    const blob = new Blob([bytes], { type: type || 'application/octet-stream' });
    const link = element('a', { href: URL.createObjectURL(blob), download: name }, name);
    image.downloads.push(link);
    image.zipFiles.push({ name, bytes });
    return link.href;
  }

  function showListing(image, result, svgName) {
    const box = part(image, 'listingPart', 'What d88ls says');
    const listing = shiftJis.decode(result.stdout);
    // d88adpcm reads the first disk: its summary line, where a person sees
    // it first.
    const summary = /^disk 0: (d88adpcm tracks .*)$/m.exec(listing);
    if (summary) {
      box.append(element('p', { class: summary[1].endsWith(': complete') ? 'summary complete' : 'summary incomplete' },
        'Disk 0, the one d88adpcm reads: ' + summary[1].replace(/^d88adpcm /, '')));
    }
    box.append(element('pre', { 'data-output': 'listing' }, listing));
    const disks = /^(\d+) disks?\n/.exec(shiftJis.decode(result.stdout.subarray(0, 16)));
    // d88ls's own words first: the page says it only when d88ls said nothing.
    if (disks && disks[1] === '0' && result.stderr.length === 0) {
      showError(image, image.size === 0
        ? 'No disk found: this file is empty.'
        : 'No disk found: this file has ' + plural(image.size, 'byte') + ', fewer than the ' + kHeaderSize +
          ' of a D88 disk header. Is it a disk image?');
    }
    const svg = result.files[svgName];
    // A picture of no disk would show only its legend.
    if (svg && !(disks && disks[1] === '0')) {
      const picture = part(image, 'diskPart', 'The disk');
      picture.append(element('p', { class: 'hint' },
        'Each row is a track, each cell a sector in the order the image stores them; point at one to see its ID ' +
        'and marks. The tracks d88adpcm reads are outlined.'));
      const holder = element('div', { class: 'picture disk', 'data-output': 'disk' });
      const parsed = new DOMParser().parseFromString(shiftJis.decode(svg), 'image/svg+xml');
      if (!parsed.querySelector('parsererror')) holder.append(document.importNode(parsed.documentElement, true));
      picture.append(holder);
      image.diskSvg = { name: svgName, bytes: svg };
      // Scrolled to the first damage, which is what a person looks for.
      requestAnimationFrame(() => {
        const first = holder.querySelector('rect.incomplete, rect.error, rect.short, rect.other, rect.missing, ' +
          'rect.deleted, rect.fm');
        if (first) holder.scrollTop = Math.max(0, first.getBBox().y - 60);
      });
    }
  }

  function showExtraction(image, result) {
    const box = part(image, 'soundsPart', 'The extraction and the sounds');
    box.append(element('pre', { 'data-output': 'extraction' }, shiftJis.decode(result.stdout)));
    if (result.files.ADPCM) addDownload(image, 'ADPCM', result.files.ADPCM);
  }

  function showSounds(image, result) {
    const box = part(image, 'soundsPart', 'The extraction and the sounds');
    box.append(element('pre', { 'data-output': 'sounds' }, shiftJis.decode(result.stdout)));
    const wavs = Object.keys(result.files).filter((n) => /\.wav$/.test(n)).sort();
    const urls = wavs.map((name) => addDownload(image, name, result.files[name], 'audio/wav'));
    if (result.files['ADPCM.svg']) {
      const url = addDownload(image, 'ADPCM.svg', result.files['ADPCM.svg'], 'image/svg+xml');
      const holder = element('div', { class: 'picture ram' });
      holder.append(element('img', { src: url, alt: 'Where the sounds lie in the sample RAM' }));
      box.append(holder);
    }
    if (wavs.length > 0) {
      const list = element('ul', { class: 'players' });
      const audios = wavs.map((name, i) => {
        const item = element('li');
        const audio = element('audio', { controls: '', preload: 'metadata', src: urls[i] });
        item.append(element('span', {}, 'Sound ' + (i + 1)), audio);
        list.append(item);
        return audio;
      });
      const all = element('button', { type: 'button', class: 'play-all' }, 'Play all, one after another');
      all.addEventListener('click', () => playInTurn(audios));
      box.append(all, list);
    }
  }

  function playInTurn(audios) {
    let i = 0;
    const next = () => {
      for (const a of audios) a.parentElement.classList.remove('playing');
      if (i >= audios.length) return;
      const audio = audios[i++];
      audio.parentElement.classList.add('playing');
      audio.currentTime = 0;
      audio.addEventListener('ended', next, { once: true });
      audio.play().catch(next);
    };
    for (const a of audios) a.pause();
    next();
  }

  function finish(image) {
    image.working.remove();
    if (image.diskSvg) addDownload(image, image.diskSvg.name, image.diskSvg.bytes, 'image/svg+xml');
    if (image.downloads.length > 0) {
      const box = part(image, 'downloadPart', 'Downloads');
      const list = element('ul', { class: 'downloads' });
      for (const link of image.downloads) {
        const item = element('li');
        item.append(link);
        list.append(item);
      }
      if (image.zipFiles.length > 1) {
        const zip = D88Zip.makeZip(image.zipFiles);
        const link = element('a', { class: 'all', download: image.name + '.zip',
          href: URL.createObjectURL(new Blob([zip], { type: 'application/zip' })) }, 'all of them: ' + image.name + '.zip');
        const item = element('li');
        item.append(link);
        list.prepend(item);
      }
      box.append(list);
    }
    --active;
    ++finished;
    setState();
  }

  function onMessage(event) {
    const message = event.data;
    if (message.type === 'loaded') {
      loaded = true;
      setState();
      return;
    }
    const image = images.get(message.id);
    if (message.type === 'failed') {
      if (image) showError(image, 'The programs failed: ' + message.message);
      else document.getElementById('status').textContent = 'The programs could not be loaded: ' + message.message;
      return;
    }
    if (!image) return;
    if (message.type === 'done') {
      finish(image);
      return;
    }
    const result = message.result;
    if (message.step === 'listing') showListing(image, result, message.argv[2]);
    else if (message.step === 'extraction') showExtraction(image, result);
    else if (message.step === 'sounds') showSounds(image, result);
    showError(image, shiftJis.decode(result.stderr));
    if (result.code !== 0 && result.stderr.length === 0) showError(image, message.argv[0] + ' failed (exit code ' + result.code + ')');
  }

  // entries: [{ name, file }] or [{ name, folder: true }]
  function addImages(entries) {
    if (!worker) {
      worker = makeWorker();
      worker.onmessage = onMessage;
    }
    for (const entry of entries) {
      const id = nextId++;
      const image = addSection(entry.name, entry.folder ? null : entry.file.size);
      images.set(id, image);
      ++active;
      setState();
      if (entry.folder) {
        showError(image, '"' + entry.name + '" is a folder, not a disk image: open or drop the image files inside it.');
        finish(image);
        continue;
      }
      entry.file.arrayBuffer().then((bytes) => {
        worker.postMessage({ id, name: entry.name, bytes }, [bytes]);
      }, (error) => {
        showError(image, 'Cannot read ' + entry.name + ': ' + (error && error.message || error) +
          ' (a folder cannot be opened as an image).');
        finish(image);
      });
    }
  }

  function start() {
    setState();
    worker = makeWorker();
    worker.onmessage = onMessage;
    const input = document.getElementById('files');
    input.addEventListener('change', () => {
      addImages(Array.from(input.files, (file) => ({ name: file.name, file })));
      input.value = '';
    });
    const drop = document.getElementById('drop');
    document.addEventListener('dragover', (event) => {
      event.preventDefault();
      drop.classList.add('over');
    });
    document.addEventListener('dragleave', (event) => {
      if (event.relatedTarget === null) drop.classList.remove('over');
    });
    document.addEventListener('drop', (event) => {
      event.preventDefault();
      drop.classList.remove('over');
      const entries = [];
      const items = event.dataTransfer.items;
      if (items && items.length) {
        for (const item of Array.from(items)) {
          if (item.kind !== 'file') continue;
          const entry = item.webkitGetAsEntry ? item.webkitGetAsEntry() : null;
          const file = item.getAsFile();
          if (entry && entry.isDirectory) entries.push({ name: entry.name, folder: true });
          else if (file) entries.push({ name: file.name, file });
        }
      } else {
        for (const file of Array.from(event.dataTransfer.files)) entries.push({ name: file.name, file });
      }
      addImages(entries);
    });
  }

  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', start);
  else start();
})();
