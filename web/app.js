// The page: takes disk images (and zip archives of them) from the file
// input or a drop, hands them to its workers, and shows what the programs
// made of each in a section of its own, with an index of them all at the
// top. Nothing is sent anywhere: the files are read here and stay here.
//
// The automation contract (README.md): body[data-state]; one
// section[data-image=NAME] per file and per archive member holding a disk;
// in it [data-output=listing|disk|sounds|error|sector] and a[download];
// [data-output=index] with a link to every section.
'use strict';

(function () {
  // The programs print bytes: disk names and d88adpcm's open-failure line
  // are Shift_JIS, and ASCII reads the same in it.
  const shiftJis = new TextDecoder('shift_jis');
  const utf8 = new TextDecoder('utf-8');
  const kHeaderSize = 688;  // a D88 disk header; anything shorter holds no disk

  // Two workers (worker.js): one lists each file, opens zip archives and
  // shows sectors; the other cuts and converts each file meanwhile.
  let lister = null;
  let cutter = null;
  let loaded = 0;  // workers with the programs ready
  let nextId = 1;
  let nextRequest = 1;
  let active = 0;
  let finished = 0;
  const sections = new Map();  // id -> the section's parts
  const names = new Map();     // file name -> how many sections have it

  // ---- state and announcements ----------------------------------------

  // No state until the programs are loaded: a page that says "ready" makes
  // no more requests.
  function setState() {
    const state = active > 0 ? 'working' : finished > 0 ? 'done' : loaded === 2 ? 'ready' : null;
    if (state) document.body.dataset.state = state;
  }

  // The live region: what a screen reader says, and what everyone sees
  // under the open button.
  function announce(text) {
    document.getElementById('status').textContent = text;
  }

  // ---- the workers ----------------------------------------------------

  // A worker runs from a blob: URL built from the source of d88WorkerMain
  // (d88worker.js, loaded by this page from its own origin): a worker so
  // made runs under this document's content security policy, on any static
  // host and from file://, where a worker script cannot be loaded by path.
  // The hosted workers fetch the WebAssembly from beside the page; the
  // offline ones carry it inside.
  function makeWorker(url) {
    const w = new Worker(url);
    w.onmessage = (event) => onMessage(event.data);
    return w;
  }

  function startWorkers() {
    const config = typeof D88_OFFLINE === 'undefined' ? { wasm: new URL('d88web.wasm', document.baseURI).href } : {};
    const source = '(' + d88WorkerMain.toString() + ')(' + JSON.stringify(config) + ');\n';
    const url = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
    lister = makeWorker(url);
    cutter = makeWorker(url);
  }

  // The section kept in view while its results come in, until the person
  // scrolls, types or clicks: at first it is short, and the page below it
  // too short to scroll it to the top. (The scroll position alone cannot
  // tell: the browser moves it too, to keep in place what is in view as the
  // index above grows.)
  let followed = null;
  for (const type of ['wheel', 'touchstart', 'keydown', 'mousedown']) {
    addEventListener(type, () => { followed = null; }, { passive: true, capture: true });
  }

  function follow(image) {
    image.section.scrollIntoView({ block: 'start' });
    followed = image;
  }

  // Called as the followed section grows: once a frame at most, when the
  // page lays itself out anyway, rather than forcing a layout each time.
  let growing = false;
  function grew() {
    if (!followed || growing) return;
    growing = true;
    requestAnimationFrame(() => {
      growing = false;
      if (!followed) return;
      followed.section.scrollIntoView({ block: 'start' });
      if (active === 0) followed = null;
    });
  }

  // ---- building blocks --------------------------------------------------

  function element(tag, attributes, text) {
    const e = document.createElement(tag);
    for (const [key, value] of Object.entries(attributes || {})) e.setAttribute(key, value);
    if (text !== undefined) e.textContent = text;
    return e;
  }

  function plural(n, word) {
    return n.toLocaleString('en') + ' ' + word + (n === 1 ? '' : 's');
  }

  function indexOfBytes(haystack, needle, from) {
    outer: for (let at = from; at + needle.length <= haystack.length; ++at) {
      for (let k = 0; k < needle.length; ++k) if (haystack[at + k] !== needle[k]) continue outer;
      return at;
    }
    return -1;
  }

  // What a program printed on standard error, decoded: the image's name
  // went to the program in UTF-8 and comes back in its messages as it was
  // given; everything else it prints is Shift_JIS.
  function decodeMessages(bytes, name) {
    if (!name || /^[\x20-\x7e]*$/.test(name)) return shiftJis.decode(bytes);
    const needle = new TextEncoder().encode(name);
    let text = '';
    let from = 0;
    for (let at = indexOfBytes(bytes, needle, 0); at >= 0; at = indexOfBytes(bytes, needle, from)) {
      text += shiftJis.decode(bytes.subarray(from, at)) + name;
      from = at + needle.length;
    }
    return text + shiftJis.decode(bytes.subarray(from));
  }

  // ---- sections -------------------------------------------------------

  // A section for one file or archive member, placed after `after` (the
  // archive's last section, for a member) or at the end; its line in the
  // index likewise.
  function addSection(id, name, size, after) {
    const count = (names.get(name) || 0) + 1;
    names.set(name, count);
    const anchor = 'image-' + String(id).replace(/\//g, '-');
    const section = element('section', { 'data-image': name, id: anchor, 'aria-labelledby': anchor + '-heading' });
    // Two files of one name get two headings a person can tell apart.
    const heading = element('h2', { id: anchor + '-heading', tabindex: '-1' }, name + (count > 1 ? ' (' + count + ')' : '') + ' ');
    if (size !== null) heading.append(element('span', { class: 'size' }, '(' + plural(size, 'byte') + ')'));
    const error = element('div', { 'data-output': 'error' });
    const working = element('p', { class: 'working' }, 'Working…');
    section.append(heading, error, working);
    // The whole line is the link: a finger's target, and words that say
    // where it goes.
    const line = element('li');
    const link = element('a', { href: '#' + anchor });
    const about = element('span', { class: 'about' }, ': working…');
    link.append(element('span', { class: 'name' }, heading.firstChild.textContent.trim()), about);
    line.append(link);
    const parent = after ? sections.get(after) : null;
    if (parent) {
      const last = parent.lastSection || parent.section;
      last.after(section);
      (parent.lastLine || parent.line).after(line);
      parent.lastSection = section;
      parent.lastLine = line;
      line.classList.add('member');
    } else {
      document.getElementById('results').append(section);
      document.querySelector('[data-output=index] ol').append(line);
    }
    document.querySelector('[data-output=index]').hidden = false;
    const image = { id, name, size, section, heading, error, working, line, about, downloads: [], zipFiles: [],
      disks: null, summary: null, sounds: 0, verdict: null, held: [], waiting: 1, finished: false };
    sections.set(id, image);
    ++active;
    setState();
    return image;
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
    grew();
    return box;
  }

  function addDownload(image, name, bytes, type) {
    const blob = new Blob([bytes], { type: type || 'application/octet-stream' });
    const link = element('a', { href: URL.createObjectURL(blob), download: name }, name);
    image.downloads.push(link);
    image.zipFiles.push({ name, bytes });
    return link.href;
  }

  // A box that scrolls on its own when its content is wider or taller than
  // the page: reachable by keyboard, and named for a screen reader.
  function scrollBox(tag, attributes, label) {
    return element(tag, Object.assign({ tabindex: '0', role: 'region', 'aria-label': label }, attributes));
  }

  // ---- results ----------------------------------------------------------

  function showListing(image, message) {
    const result = message.result;
    const svgName = message.argv[2];
    image.programName = message.name;
    image.verdict = message.verdict;
    const box = part(image, 'listingPart', 'What d88ls says');
    const listing = shiftJis.decode(result.stdout);
    const disks = /^(\d+) disks?\n/.exec(listing);
    image.disks = disks ? Number(disks[1]) : 0;
    // d88adpcm reads the first disk: its summary line, where a person sees
    // it first.
    const summary = /^disk 0: d88adpcm (tracks .*)$/m.exec(listing);
    if (summary && message.verdict === 'disk') {
      image.summary = summary[1];
      box.append(element('p', { class: summary[1].endsWith(': complete') ? 'summary complete' : 'summary incomplete' },
        'Disk 0, the one d88adpcm reads: ' + summary[1]));
    }
    const pre = scrollBox('pre', { 'data-output': 'listing' }, 'The listing');
    fillListing(image, pre, listing);
    box.append(pre);
    showError(image, decodeMessages(result.stderr, message.name));
    // d88ls's own words first: the page says it only when d88ls said nothing.
    if (image.disks === 0 && result.stderr.length === 0) {
      showError(image, image.size === 0
        ? 'No disk found: this file is empty.'
        : 'No disk found: this file has ' + plural(image.size, 'byte') + ', fewer than the ' + kHeaderSize +
          ' of a D88 disk header. Is it a disk image?');
    }
    const svg = result.files[svgName];
    if (svg) image.diskSvg = { name: svgName, bytes: svg };
    image.listingText = { name: svgName.replace(/\.svg$/, '.txt'), bytes: result.stdout };
    if (message.verdict === 'disk') {
      // The picture's place now, its drawing when the page is idle (or the
      // image done): a disk's picture is thousands of elements, which take
      // long to build and to lay out, and the listing, the sounds and the
      // downloads are worth seeing before it.
      placeDisk(image);
      (window.requestIdleCallback || ((f) => setTimeout(f, 50)))(() => drawDisk(image), { timeout: 1000 });
      return;
    }
    if (message.verdict === 'doubtful') {
      // d88ls lists what it reads all the same; a picture and sounds of
      // bytes that are no disk would only mislead, so they wait for the
      // person to ask.
      const held = part(image, 'heldPart', 'This file does not look like a D88 disk image');
      held.append(element('p', {}, 'The listing above is what d88ls reads from it all the same. If it is a disk ' +
        'image after all, the page can draw it and cut and convert its sounds.'));
      const more = element('button', { type: 'button' }, 'Draw it and look for sounds all the same');
      more.addEventListener('click', () => {
        held.remove();
        image.heldPart = null;
        image.verdict = 'disk';
        placeDisk(image);
        showHeld(image);
        if (!image.finished) return;  // the rest comes as it would have
        ++active;
        --finished;
        setState();
        drawDisk(image);
        finish(image);
      });
      held.append(more);
    }
  }

  // The listing's text as it is, each line of a track that holds records a
  // target that opens its first record in the sector view.
  function fillListing(image, pre, listing) {
    const lines = listing.split('\n');
    let disk = null;
    let plain = '';
    for (let i = 0; i < lines.length; ++i) {
      const line = lines[i] + (i < lines.length - 1 ? '\n' : '');
      const heading = /^disk (\d+): "/.exec(line);
      if (heading) disk = heading[1];
      const track = disk !== null ? /^  track (\d+): (\d+) records?/.exec(line) : null;
      if (!track || track[2] === '0') {
        plain += line;
        continue;
      }
      if (plain) pre.append(plain);
      plain = '';
      pre.append(element('span', { class: 'track-line', 'data-disk': disk, 'data-track': track[1] }, line));
    }
    if (plain) pre.append(plain);
    pre.addEventListener('click', (event) => {
      const line = event.target.closest('.track-line');
      if (!line || !image.grid) return;
      const cell = image.grid.svg.querySelector(`[data-disk="${line.dataset.disk}"][data-track="${line.dataset.track}"][data-record]`);
      if (!cell) return;
      setTabStop(image.grid, cell);
      openRecord(image, cell, true);
    });
  }

  function placeDisk(image) {
    if (!image.diskSvg) return;
    const picture = part(image, 'diskPart', 'The disk');
    picture.append(element('p', { class: 'hint' },
      'Each row is a track, each cell a sector in the order the image stores them; point at one to see its ID ' +
      'and marks, and click or tap it (or a track\'s line in the listing) to see its bytes. By keyboard: Tab to ' +
      'the picture, arrow keys to move, Enter to open. The tracks d88adpcm reads are outlined.'));
    image.diskHolder = scrollBox('div', { class: 'picture disk', 'data-output': 'disk' }, 'The disk\'s picture');
    picture.append(image.diskHolder);
  }

  function drawDisk(image) {
    const holder = image.diskHolder;
    if (!holder || holder.firstChild) return;
    // The picture is UTF-8: d88ls writes disk names decoded. It goes in
    // through the HTML parser, which builds a large SVG two or three times
    // as fast as an XML parse and an import: the text is d88ls's own, every
    // name and title in it escaped, and the page's policy runs no script
    // and loads nothing it might name.
    holder.innerHTML = utf8.decode(image.diskSvg.bytes);
    const svg = holder.querySelector(':scope > svg');
    const grid = svg ? makeGrid(image, svg) : null;
    if (grid) {
      // The sectors take the keyboard; the box needs no tab stop of its own.
      holder.removeAttribute('tabindex');
      holder.removeAttribute('role');
      holder.removeAttribute('aria-label');
      holder.after(sectorView(image));
    }
    // Scrolled to the first damage, which is what a person looks for.
    requestAnimationFrame(() => {
      const first = holder.querySelector('rect.incomplete, rect.error, rect.short, rect.other, rect.missing, ' +
        'rect.deleted, rect.fm');
      if (first) holder.scrollTop = Math.max(0, first.getBBox().y - 60);
    });
  }

  // ---- the disk picture as a grid of sectors ------------------------------

  // d88ls draws each track as a group (g.track) of its cells, a run of
  // ordinary records as a group (g.run) sharing one title, and every record
  // as an element with data-disk, data-track and data-record. For the
  // keyboard and a screen reader the picture becomes a grid: a row per track
  // that holds records, a cell per record, one tab stop for them all (the
  // last one visited), arrow keys between them; the rest is drawing, hidden
  // from screen readers, which have the listing's words for it.
  function makeGrid(image, svg) {
    const cells = svg.querySelectorAll('[data-record]');
    if (cells.length === 0) return null;
    svg.setAttribute('role', 'grid');
    svg.setAttribute('aria-label', 'The disk\'s sectors, a row per track: arrow keys move, Enter shows a sector\'s bytes');
    for (const child of svg.children) {
      if (child.matches('g.disk')) continue;
      child.setAttribute('aria-hidden', 'true');
    }
    for (const disk of svg.querySelectorAll('g.disk')) {
      const heading = disk.querySelector(':scope > text');
      disk.setAttribute('role', 'rowgroup');
      if (heading) disk.setAttribute('aria-label', heading.textContent);
      for (const child of disk.children) {
        if (!child.matches('g.track') || !child.querySelector('[data-record]')) {
          child.setAttribute('aria-hidden', 'true');
          continue;
        }
        child.setAttribute('role', 'row');
        child.setAttribute('aria-label', Array.from(child.querySelectorAll(':scope > text'), (t) => t.textContent).join('; '));
        for (const part of child.children) {
          if (part.matches('g.run')) part.setAttribute('role', 'none');
          else if (!part.hasAttribute('data-record')) part.setAttribute('aria-hidden', 'true');
        }
      }
    }
    for (const text of svg.querySelectorAll('g.track > text')) text.setAttribute('aria-hidden', 'true');
    for (const cell of cells) {
      cell.setAttribute('role', 'gridcell');
      cell.setAttribute('tabindex', '-1');
    }
    const grid = { svg, cells, current: null };
    image.grid = grid;
    // The first tab stop: the first damaged record, where the picture is
    // scrolled to, or else the first record.
    setTabStop(grid, svg.querySelector('[data-record].error, [data-record].short, [data-record].other, ' +
      '[data-record].deleted, [data-record].fm') || cells[0]);
    svg.addEventListener('click', (event) => {
      const cell = event.target.closest('[data-record]');
      if (!cell) return;
      setTabStop(grid, cell);
      cell.focus({ preventScroll: true });
      openRecord(image, cell, true);
    });
    svg.addEventListener('keydown', (event) => {
      const cell = event.target.closest('[data-record]');
      if (!cell) return;
      if (event.key === 'Enter' || event.key === ' ') {
        event.preventDefault();
        openRecord(image, cell, false);
        return;
      }
      const next = neighbour(grid, cell, event.key, event.ctrlKey);
      if (!next) return;
      event.preventDefault();
      setTabStop(grid, next);
      next.focus();
    });
    return grid;
  }

  // A cell's name: its own title, or for a record of a run the run's title
  // made the record's (the run's IDs count up from its first R).
  function cellLabel(cell) {
    const own = cell.querySelector(':scope > title');
    if (own) return own.textContent;
    const group = cell.parentNode.querySelector(':scope > title');
    const title = group ? group.textContent : '';
    const run = /^(track \d+): C(\d+) H(\d+) R(\d+)-\d+ N(\d+)/.exec(title);
    const first = cell.parentNode.querySelector('[data-record]');
    if (!run || !first) return title;
    const r = Number(run[4]) + Number(cell.dataset.record) - Number(first.dataset.record);
    return `${run[1]}: record ${cell.dataset.record}: C${run[2]} H${run[3]} R${r} N${run[5]}`;
  }

  function setTabStop(grid, cell) {
    if (grid.current === cell) return;
    if (grid.current) grid.current.setAttribute('tabindex', '-1');
    grid.current = cell;
    cell.setAttribute('tabindex', '0');
    if (!cell.hasAttribute('aria-label')) cell.setAttribute('aria-label', cellLabel(cell));
  }

  function rowCells(row) {
    return Array.from(row.querySelectorAll('[data-record]'));
  }

  // The cell an arrow key (or Home, End, Page Up, Page Down) leads to from
  // `cell`: along its track, or to the nearest place in the track above or
  // below.
  function neighbour(grid, cell, key, ctrl) {
    const row = cell.closest('[role=row]');
    const here = rowCells(row);
    const at = here.indexOf(cell);
    if (key === 'ArrowLeft') return here[at - 1] || null;
    if (key === 'ArrowRight') return here[at + 1] || null;
    if (key === 'Home') return ctrl ? grid.cells[0] : here[0];
    if (key === 'End') return ctrl ? grid.cells[grid.cells.length - 1] : here[here.length - 1];
    const steps = { ArrowUp: -1, ArrowDown: 1, PageUp: -10, PageDown: 10 }[key];
    if (!steps) return null;
    const rows = Array.from(grid.svg.querySelectorAll('[role=row]'));
    const to = rows[Math.max(0, Math.min(rows.length - 1, rows.indexOf(row) + steps))];
    if (!to || to === row) return null;
    const there = rowCells(to);
    return there[Math.min(at, there.length - 1)];
  }

  // The sector view: the record's ID, marks and size, then its bytes, as
  // d88ls --sector prints them, with buttons to step through the records.
  function sectorView(image) {
    const box = element('div', { class: 'sector' });
    box.append(element('h4', {}, 'A sector\'s bytes'));
    const caption = element('p', { class: 'sector-caption', 'aria-live': 'polite' },
      'Click or tap a sector in the picture (or a track in the listing) to see its bytes here.');
    const buttons = element('div', { class: 'sector-buttons' });
    const back = element('button', { type: 'button', disabled: '' }, '← Previous record');
    const on = element('button', { type: 'button', disabled: '' }, 'Next record →');
    buttons.append(back, on);
    const output = scrollBox('pre', { 'data-output': 'sector' }, 'The sector\'s bytes');
    output.hidden = true;
    box.append(caption, buttons, output);
    const step = (by) => {
      const grid = image.grid;
      const cells = grid.cells;
      const shown = image.sectorShown;
      let at = Array.prototype.indexOf.call(cells, shown);
      const next = cells[at + by];
      if (!next) return;
      setTabStop(grid, next);
      openRecord(image, next, false);
    };
    back.addEventListener('click', () => step(-1));
    on.addEventListener('click', () => step(1));
    image.sectorPart = { box, caption, output, back, on };
    return box;
  }

  // Asks the worker for d88ls --sector on the record `cell` stands for.
  function openRecord(image, cell, pointer) {
    const view = image.sectorPart;
    if (!view) return;
    if (image.sectorShown) image.sectorShown.classList.remove('shown');
    image.sectorShown = cell;
    cell.classList.add('shown');
    const { disk, track, record } = cell.dataset;
    view.caption.textContent = `Reading disk ${disk}, track ${track}, record ${record}…`;
    const cells = image.grid.cells;
    view.back.disabled = cell === cells[0];
    view.on.disabled = cell === cells[cells.length - 1];
    image.sectorRequest = nextRequest++;
    lister.postMessage({ type: 'sector', id: image.id, request: image.sectorRequest, disk: Number(disk),
      track: Number(track), record: Number(record) });
    if (pointer) view.box.scrollIntoView({ block: 'nearest' });
  }

  function showExtraction(image, result) {
    const box = part(image, 'soundsPart', 'The extraction and the sounds');
    const pre = scrollBox('pre', { 'data-output': 'extraction' }, 'What d88adpcm printed');
    pre.textContent = shiftJis.decode(result.stdout);
    box.append(pre);
    if (result.files.ADPCM) addDownload(image, 'ADPCM', result.files.ADPCM);
  }

  // A WAV file's length in seconds, from its header: the canonical 44
  // bytes, 16-bit mono, the rate at byte 24.
  function seconds(wav) {
    const rate = new DataView(wav.buffer, wav.byteOffset, wav.byteLength).getUint32(24, true);
    return rate > 0 ? (wav.length - 44) / 2 / rate : 0;
  }

  function showSounds(image, result) {
    const box = part(image, 'soundsPart', 'The extraction and the sounds');
    const table = shiftJis.decode(result.stdout);
    const pre = scrollBox('pre', { 'data-output': 'sounds' }, 'The sounds adpcm2wav found');
    pre.textContent = table;
    box.append(pre);
    const wavs = Object.keys(result.files).filter((n) => /\.wav$/.test(n)).sort();
    const urls = wavs.map((name) => addDownload(image, name, result.files[name], 'audio/wav'));
    if (result.files['ADPCM.svg']) {
      const url = addDownload(image, 'ADPCM.svg', result.files['ADPCM.svg'], 'image/svg+xml');
      const holder = scrollBox('div', { class: 'picture ram' }, 'Where the sounds lie in the sample RAM');
      holder.append(element('img', { src: url, alt: 'Where the sounds lie in the sample RAM: ' + plural(wavs.length, 'sound') }));
      box.append(holder);
    }
    image.soundTable = { name: 'ADPCM.txt', bytes: result.stdout };
    image.sounds = wavs.length;
    if (wavs.length > 0) {
      const list = element('ul', { class: 'players' });
      const audios = wavs.map((name, i) => {
        // The table's row for this file: the first two addresses in it are
        // where the sound begins and the byte after it ends.
        const row = table.split('\n').find((line) => line.includes(name)) || '';
        const range = row.match(/0x[0-9A-Fa-f]+/g) || [];
        const label = 'sound ' + (i + 1) + ', ' + seconds(result.files[name]).toFixed(2) + ' s' +
          (range.length >= 2 ? ', ' + range[0] + '–' + range[1] : '');
        const item = element('li');
        const audio = element('audio', { controls: '', preload: 'metadata', src: urls[i], 'aria-label': label });
        item.append(element('span', { class: 'sound-name' }, label.replace(/^s/, 'S')), audio);
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

  // The index line's words for a finished image.
  function aboutImage(image) {
    const words = [];
    if (image.disks === null) return image.error.textContent.split(/[:\n]/)[0];
    words.push(image.disks === 0 ? 'no disk' : plural(image.disks, 'disk'));
    if (image.verdict === 'doubtful') words.push('does not look like a D88 disk image');
    if (image.summary) words.push(image.summary);
    if (image.verdict === 'disk') words.push(image.sounds === 0 ? 'no sound found' : plural(image.sounds, 'sound'));
    return words.join('; ');
  }

  function finish(image) {
    image.finished = true;
    image.working.remove();
    if (image.verdict === 'disk') {
      // The disk's files after the sounds': its picture, then its listing
      // as text, as `d88ls IMAGE > NAME.txt` would write it; and the sound
      // table likewise.
      if (image.diskSvg) addDownload(image, image.diskSvg.name, image.diskSvg.bytes, 'image/svg+xml');
      if (image.listingText) addDownload(image, image.listingText.name, image.listingText.bytes, 'text/plain');
      if (image.soundTable) addDownload(image, image.soundTable.name, image.soundTable.bytes, 'text/plain');
    }
    if (image.downloads.length > 0) {
      if (image.downloadPart) image.downloadPart.remove();
      image.downloadPart = null;
      const box = part(image, 'downloadPart', 'Downloads');
      const list = element('ul', { class: 'downloads' });
      for (const link of image.downloads) {
        const item = element('li');
        item.append(link);
        list.append(item);
      }
      if (image.zipFiles.length > 1) {
        const zip = D88Zip.makeZip(image.zipFiles);
        const zipName = (image.programName || image.name) + '.zip';
        const link = element('a', { class: 'all', download: zipName,
          href: URL.createObjectURL(new Blob([zip], { type: 'application/zip' })) }, 'all of them: ' + zipName);
        const item = element('li');
        item.append(link);
        list.prepend(item);
      }
      box.append(list);
    }
    const about = image.archive ? image.archive : aboutImage(image);
    image.about.textContent = about ? ': ' + about : '';
    --active;
    ++finished;
    setState();
    grew();
    announce(image.name + ' done' + (about ? ': ' + about : '') + '.' +
      (active === 0 && finished > 1 ? ' Everything given so far is done.' : ''));
  }

  function showArchive(image, message) {
    image.isArchive = true;
    if (message.problem) showError(image, 'This zip archive cannot be opened: ' + message.problem + '.');
    for (const skipped of message.skipped) showError(image, 'Skipped "' + skipped.name + '": ' + skipped.reason + '.');
    if (!message.problem) {
      image.section.insertBefore(element('p', { class: 'archive' },
        'A zip archive of ' + plural(message.members, 'file') + ': ' +
        (message.images === 0 ? 'no disk image' : plural(message.images, 'disk image') + ', each in a section below') +
        (message.skipped.length ? '; ' + message.skipped.length + ' skipped.' : '.')), image.working);
    }
    image.archive = message.problem ? 'cannot be opened' : plural(message.images, 'disk image') +
      (message.skipped.length ? ', ' + message.skipped.length + ' skipped' : '');
  }

  function onMessage(message) {
    if (message.type === 'loaded') {
      if (++loaded < 2) return;
      setState();
      announce('Ready: open or drop a disk image.');
      return;
    }
    if (message.type === 'image') {
      addSection(message.id, message.name, message.size, message.parent);
      return;
    }
    const image = sections.get(message.id);
    if (message.type === 'failed' && !image) {
      announce('The programs could not be loaded: ' + message.message);
      return;
    }
    if (!image) return;
    if (message.type === 'sector') {
      showSector(image, message);
      return;
    }
    showMessage(image, message);
  }

  function showMessage(image, message) {
    if (message.type === 'failed') return showError(image, 'The programs failed: ' + message.message);
    if (message.type === 'unreadable') {
      // Both workers say so; the page once.
      if (image.unreadable) return;
      image.unreadable = true;
      return showError(image, 'Cannot read ' + image.name + ': ' + message.message + ' (a folder cannot be opened as an image).');
    }
    if (message.type === 'done') {
      // A file given is done when both workers are; an archive's member,
      // which the lister alone works on, at its one 'done'.
      if (--image.waiting > 0) return;
      image.held = image.verdict === 'doubtful' ? image.held : [];
      drawDisk(image);
      return finish(image);
    }
    if (message.type === 'archive') return showArchive(image, message);
    if (message.step === 'listing') {
      showRun(image, message);
      return showHeld(image);
    }
    // The cut and the sounds wait for the listing, which says whether the
    // file is a disk image to trust.
    if (image.verdict === 'disk') showRun(image, message);
    else image.held.push(message);
  }

  // What the cutter ran while the listing was still to come, or held back
  // for a file d88ls doubts: shown once the listing says it is a disk.
  function showHeld(image) {
    if (image.verdict !== 'disk') return;
    const held = image.held;
    image.held = [];
    for (const message of held) showRun(image, message);
  }

  function showRun(image, message) {
    const result = message.result;
    if (result.code !== 0 && result.stderr.length === 0) showError(image, message.argv[0] + ' failed (exit code ' + result.code + ')');
    if (message.step === 'listing') return showListing(image, message);
    if (message.step === 'extraction') showExtraction(image, result);
    else if (message.step === 'sounds') showSounds(image, result);
    showError(image, decodeMessages(result.stderr, message.name));
  }

  // ---- sectors ------------------------------------------------------------

  function showSector(image, message) {
    // Only the last record asked for: a person stepping quickly through
    // them sees where they stopped.
    if (message.request !== image.sectorRequest) return;
    const view = image.sectorPart;
    const { disk, track, record } = image.sectorShown.dataset;
    const text = shiftJis.decode(message.result.stdout);
    const problem = decodeMessages(message.result.stderr, message.name).trim();
    view.output.textContent = text;
    view.output.hidden = text === '';
    view.caption.textContent = `Disk ${disk}, track ${track}, record ${record}: ` +
      (problem || text.slice(0, text.indexOf('\n')));
  }

  // ---- files in ---------------------------------------------------------

  // entries: [{ name, file }] or [{ name, folder: true }]
  function addFiles(entries) {
    let first = null;
    for (const entry of entries) {
      const id = String(nextId++);
      const image = addSection(id, entry.name, entry.folder ? null : entry.file.size, null);
      if (!first) first = image;
      if (entry.folder) {
        showError(image, '"' + entry.name + '" is a folder, not a disk image: open or drop the image files inside it.');
        finish(image);
        continue;
      }
      // The workers read the file themselves: its bytes never pass through
      // this thread.
      image.waiting = 2;
      lister.postMessage({ type: 'list', id, name: entry.name, file: entry.file });
      cutter.postMessage({ type: 'cut', id, name: entry.name, file: entry.file });
    }
    if (!first) return;
    if (active > 0) announce('Working on ' + (entries.length === 1 ? entries[0].name : plural(entries.length, 'file')) + '…');
    // The new results, where a person looks next: scrolled to, and focus
    // on their heading, so that a screen reader reads it out.
    first.heading.focus({ preventScroll: true });
    follow(first);
  }

  function start() {
    setState();
    announce('Loading the programs…');
    startWorkers();
    const input = document.getElementById('files');
    input.addEventListener('change', () => {
      addFiles(Array.from(input.files, (file) => ({ name: file.name, file })));
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
      addFiles(entries);
    });
  }

  if (document.readyState === 'loading') document.addEventListener('DOMContentLoaded', start);
  else start();
})();
