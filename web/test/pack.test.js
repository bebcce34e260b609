// Plays level packs on the browser build in headless Chromium: a pack made by
// twinfold-pack opened through the page's file picker, its first level
// finished by the pack's own replay fed as a play script, then the game's own
// tutorial1 started again from the page without a reload; a pack named by
// ?pack= (and one of another site refused); the site twinfold-pack --web
// writes; and hostile packs, picked or dropped, refused with the reader's
// reasons while the page plays on.
//
// Usage: node pack.test.js WEBBUILD BUILD
//   WEBBUILD  the folder make web fills
//   BUILD     the native build, for twinfold-pack, twinfold-playscript and
//             the game folder (game/)
// Exit status: 0 when every check passes, 1 when one fails, 2 on a wrong
// command line. Chromium is Debian's (CHROMIUM overrides /usr/bin/chromium).
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const crypto = require('crypto');
const { execFileSync } = require('child_process');
const { serve, launch, checks } = require('./browser');

const [webbuild, build] = process.argv.slice(2);
if (!webbuild || !build || process.argv.length > 4) {
  console.error('usage: node pack.test.js WEBBUILD BUILD');
  process.exit(2);
}

// Bounds for every wait, generous for a busy machine; each wait polls.
const LOADMS = 120000;
const WAITMS = 30000;

const { check, expect, finish } = checks('pack');

// A zip of stored entries, as any zip tool may write one, hostile or not.
const crctable = Array.from({ length: 256 }, (_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});
function crc32(bytes) {
  let c = 0xffffffff;
  for (const b of bytes) c = crctable[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}
function zipof(entries) {
  const locals = [], centrals = [];
  let at = 0;
  for (const e of entries) {
    const name = Buffer.from(e.name), data = Buffer.from(e.bytes), crc = crc32(data);
    const local = Buffer.alloc(30);
    local.writeUInt32LE(0x04034b50, 0); local.writeUInt16LE(20, 4);
    local.writeUInt32LE(crc, 14); local.writeUInt32LE(data.length, 18);
    local.writeUInt32LE(data.length, 22); local.writeUInt16LE(name.length, 26);
    const central = Buffer.alloc(46);
    central.writeUInt32LE(0x02014b50, 0); central.writeUInt16LE(20, 4); central.writeUInt16LE(20, 6);
    central.writeUInt32LE(crc, 16); central.writeUInt32LE(data.length, 20);
    central.writeUInt32LE(data.length, 24); central.writeUInt16LE(name.length, 28);
    central.writeUInt32LE(at, 42);
    locals.push(local, name, data);
    centrals.push(central, name);
    at += 30 + name.length + data.length;
  }
  const dir = Buffer.concat(centrals), end = Buffer.alloc(22);
  end.writeUInt32LE(0x06054b50, 0); end.writeUInt16LE(entries.length, 8);
  end.writeUInt16LE(entries.length, 10); end.writeUInt32LE(dir.length, 12); end.writeUInt32LE(at, 16);
  return Buffer.concat([...locals, dir, end]);
}

// A pack of one flat level whose manifest tells the truth about the files
// given, unless told otherwise: the reader does not play the replay, so its
// par is any number.
const flat = 'setStartPosition(100,100);buildGround(0,2000,0,100);setEndPosition(400,100);\n';
function packof(files, lie = {}) {
  const sha = (b) => crypto.createHash('sha256').update(Buffer.from(b)).digest('hex');
  let m = 'twinfold-pack 1\ntitle Hostile\nauthor Nobody\nfirst one.lvl\n';
  for (const f of files) m += `file ${f.name} ${Buffer.from(f.bytes).length} ${lie[f.name] || sha(f.bytes)}\n`;
  m += 'level one.lvl 76 one.replay\n';
  return zipof([{ name: 'twinfold-pack.txt', bytes: m }, ...files]);
}
// A PNG's signature and header chunk claiming w by h pixels.
function pngheader(w, h) {
  const chunk = Buffer.alloc(17);
  chunk.write('IHDR', 0); chunk.writeUInt32BE(w, 4); chunk.writeUInt32BE(h, 8);
  chunk[12] = 8; chunk[13] = 2;
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(crc32(chunk));
  const length = Buffer.alloc(4);
  length.writeUInt32BE(13);
  return Buffer.concat([Buffer.from([137, 80, 78, 71, 13, 10, 26, 10]), length, chunk, crc]);
}

// The fixtures: a two-level pack made and proven by twinfold-pack, and its
// first level's replay as a play script, made by twinfold-playscript in a
// game folder where the pack's first level is tutorial1.lvl, as the page
// lays it out. The script's closing F12 is left out: the page plays on.
function fixtures(dir) {
  const src = path.join(dir, 'src'), play = path.join(dir, 'play');
  fs.mkdirSync(src);
  fs.mkdirSync(play);
  fs.writeFileSync(path.join(src, 'one.lvl'), flat + 'setNextLevel("two.lvl");\n');
  fs.writeFileSync(path.join(src, 'two.lvl'), flat.replace('400,100', '300,100'));
  fs.writeFileSync(path.join(src, 'one.replay'), '100 R\n');
  fs.writeFileSync(path.join(src, 'two.replay'), '100 R\n');
  const pack = path.join(dir, 'flats.twinpack');
  execFileSync(path.join(build, 'twinfold-pack'), [path.join(src, 'one.lvl'), '-o', pack,
    '--title', 'Two flats', '--author', 'A. Maker'], { stdio: 'pipe' });
  const game = path.resolve(build, 'game');
  for (const f of fs.readdirSync(game)) fs.symlinkSync(path.join(game, f), path.join(play, f));
  fs.unlinkSync(path.join(play, 'tutorial1.lvl'));
  fs.copyFileSync(path.join(src, 'one.lvl'), path.join(play, 'tutorial1.lvl'));
  fs.copyFileSync(path.join(src, 'two.lvl'), path.join(play, 'two.lvl'));
  const script = execFileSync(path.join(build, 'twinfold-playscript'),
                              [play, path.join(src, 'one.replay')], { encoding: 'utf8' });
  const lines = script.split('\n').map((l) => l.trim().split(/\s+/))
    .filter((w) => /^\d+$/.test(w[0]) && w[1] !== 'snap' && w[2] !== 'f12')
    .map((w) => ({ frame: Number(w[0]), kind: w[1], value: Number(w[2]), key: w[2],
                   x: Number(w[2]), y: Number(w[3]) }));
  // The key names the play script uses, with the browser's codes for them.
  const keys = JSON.parse(execFileSync(path.join(build, 'twinfold-playscript'), ['--keys'],
                                       { encoding: 'utf8' }));
  return { pack, lines, keys };
}

// Runs in the page: feeds play script lines to the game at its own buffer
// swaps, with the game's clock moved by the script alone, as play.test.js
// does for tutorial1.
function drivescript(lines, keys) {
  const start = SDL.startTime;
  let now = Date.now() - start;
  let clockms = 0, frame = 0, next = 0;
  Date.now = () => start + now;
  const canvas = Module.canvas;
  function mouse(type, x, y) {
    const r = canvas.getBoundingClientRect();
    canvas.dispatchEvent(new MouseEvent(type, {
      bubbles: true, cancelable: true, button: 0,
      clientX: r.left + x * r.width / 1024, clientY: r.top + y * r.height / 768 }));
  }
  function key(type, code) {
    const e = new KeyboardEvent(type, { bubbles: true, cancelable: true });
    Object.defineProperty(e, 'keyCode', { get: () => code });
    Object.defineProperty(e, 'which', { get: () => code });
    document.dispatchEvent(e);
  }
  window.twinfoldScript = { frame: 0, done: false };
  const swap = Browser.doSwapBuffers;
  Browser.doSwapBuffers = function () {
    if (swap) swap();
    frame++;
    const mine = [];
    while (next < lines.length && lines[next].frame <= frame) mine.push(lines[next++]);
    for (const l of mine) if (l.kind === 'clock') clockms = l.value;
    now += clockms;
    for (const l of mine) {
      if (l.kind === 'down' || l.kind === 'up') key(l.kind === 'down' ? 'keydown' : 'keyup', keys[l.key].browser);
      if (l.kind === 'click') {
        mouse('mousemove', l.x, l.y);
        mouse('mousedown', l.x, l.y);
        mouse('mouseup', l.x, l.y);
      }
    }
    twinfoldScript.frame = frame;
    twinfoldScript.done = next >= lines.length;
  };
  // Keys for the game from here on, at its swaps: [ 'down' or 'up', KEY ].
  window.twinfoldKeys = [];
  const after = Browser.doSwapBuffers;
  Browser.doSwapBuffers = function () {
    after();
    const k = twinfoldKeys.shift();
    if (k) key(k[0] === 'down' ? 'keydown' : 'keyup', keys[k[1]].browser);
  };
}

async function openpage(browser, url) {
  const page = await browser.newPage();
  const log = [];
  page.on('console', (m) => log.push({ type: m.type(), text: m.text() }));
  page.on('pageerror', (e) => log.push({ type: 'pageerror', text: e.message }));
  await page.setViewport({ width: 1024, height: 900 });
  await page.goto(url, { waitUntil: 'domcontentloaded' });
  return { page, log };
}

async function until(page, fn, ms, what, ...args) {
  try {
    await page.waitForFunction(fn, { timeout: ms, polling: 50 }, ...args);
  } catch (e) {
    throw new Error(`${what} within ${ms} ms`);
  }
}

async function logline(log, text, from = 0, ms = WAITMS) {
  const end = Date.now() + ms;
  for (;;) {
    const i = log.findIndex((l, n) => n >= from && l.text === text);
    if (i >= 0) return i;
    if (Date.now() > end) throw new Error(`no log line "${text}" from line ${from} within ${ms} ms`);
    await new Promise((r) => setTimeout(r, 50));
  }
}

async function clickat(page, x, y) {
  const r = await page.evaluate(() => {
    const b = document.getElementById('canvas').getBoundingClientRect();
    return { x: b.left, y: b.top, width: b.width, height: b.height };
  });
  await page.mouse.click(r.x + x * r.width / 1024, r.y + y * r.height / 768);
}

// New game on the menu, then a click through each introduction page.
async function newgame(page) {
  await clickat(page, 728, 136);
  for (let i = 0; i < 4; i++) {
    await new Promise((r) => setTimeout(r, 300));
    await clickat(page, 512, 384);
  }
}

// Hands a file to the page's picker and waits for the game's answer.
async function pick(page, file) {
  await page.evaluate(() => { window.twinfoldPack = null; });
  const input = await page.$('#packfile');
  await input.uploadFile(file);
  await until(page, () => window.twinfoldPack, WAITMS, `no answer to ${path.basename(file)}`);
  return page.evaluate(() => ({ pack: window.twinfoldPack,
                                shown: document.getElementById('packstate').textContent }));
}

// Drops a file with these bytes on the page, as a file dragged from the desktop.
async function drop(page, name, bytes) {
  await page.evaluate((name, data) => {
    window.twinfoldPack = null;
    const dt = new DataTransfer();
    dt.items.add(new File([new Uint8Array(data)], name));
    document.body.dispatchEvent(new DragEvent('drop', { dataTransfer: dt, bubbles: true, cancelable: true }));
  }, name, Array.from(bytes));
  await until(page, () => window.twinfoldPack, WAITMS, `no answer to ${name}`);
  return page.evaluate(() => ({ pack: window.twinfoldPack,
                                shown: document.getElementById('packstate').textContent }));
}

async function main() {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'twinfold-packtest-'));
  const { pack, lines, keys } = fixtures(dir);
  expect(lines.length > 5, `the play script has ${lines.length} lines`);
  const root = path.resolve(webbuild);
  const server = await serve(root, { '/flats.twinpack': fs.readFileSync(pack) });
  const url = `http://127.0.0.1:${server.address().port}/`;
  const { browser, profile } = await launch();

  await check('a picked pack is played to its first level\'s end by its replay, then the game\'s own tutorial1 from the page', async () => {
    const { page: p, log } = await openpage(browser, url);
    const label = await p.evaluate(() => document.getElementById('packfile').labels[0].textContent);
    expect(label.trim().length > 0, 'the file picker has no label');
    await until(p, () => window.twinfoldLevels, LOADMS, 'the levels did not load');
    const got = await pick(p, pack);
    expect(got.pack.ok, 'the pack was refused: ' + JSON.stringify(got.pack));
    expect(got.shown.includes('Two flats') && got.shown.includes('A. Maker'), `the page shows "${got.shown}"`);
    const from = log.length;
    await p.evaluate(drivescript, lines, keys);
    // one.lvl is the pack's first level: its next level is two.lvl; two.lvl
    // loads when the replay has finished it.
    const one = await logline(log, 'next level: two.lvl', from);
    await logline(log, 'start location: 100,100', one + 1, WAITMS + lines[lines.length - 1].frame * 100);
    expect(!(await p.evaluate(() => window.twinfoldEnded)), 'the game ended');
    // Escape to the menu, the game's own levels from the page, New game.
    await p.evaluate(() => twinfoldKeys.push(['down', 'escape'], ['up', 'escape']));
    await until(p, () => twinfoldKeys.length === 0, WAITMS, 'escape was not taken');
    await p.click('#ownlevels');
    await until(p, () => window.twinfoldPack && window.twinfoldPack.own, WAITMS, 'no own levels');
    const back = log.length;
    await newgame(p);
    await logline(log, 'next level: tutorial2.lvl', back);
    expect(!log.some((l) => l.type === 'pageerror'), 'the page threw: ' +
           log.filter((l) => l.type === 'pageerror').map((l) => l.text).join(' | '));
    await p.close();
  });

  await check('?pack= opens a pack of the site for New game, and refuses one of another site', async () => {
    const { page: p, log } = await openpage(browser, url + '?pack=flats.twinpack');
    await until(p, () => window.twinfoldPack, LOADMS, 'the pack was not opened');
    const got = await p.evaluate(() => window.twinfoldPack);
    expect(got.ok && got.title === 'Two flats' && got.author === 'A. Maker', JSON.stringify(got));
    const from = log.length;
    await newgame(p);
    await logline(log, 'next level: two.lvl', from);
    await p.close();
    const { page: q } = await openpage(browser, url + '?pack=' +
                                       encodeURIComponent('http://example.invalid/flats.twinpack'));
    await until(q, () => window.twinfoldPack, WAITMS, 'no answer to another site\'s pack');
    const other = await q.evaluate(() => window.twinfoldPack);
    expect(!other.ok && /not a pack of this site/.test(other.refusals[0]), JSON.stringify(other));
    await q.close();
  });

  await check('the site twinfold-pack --web writes opens its pack at start', async () => {
    const site = path.join(dir, 'site');
    execFileSync(path.join(build, 'twinfold-pack'), [pack, '--web', site, '--from', root], { stdio: 'pipe' });
    const siteserver = await serve(site);
    const { page: p, log } = await openpage(browser, `http://127.0.0.1:${siteserver.address().port}/`);
    await until(p, () => window.twinfoldPack, LOADMS, 'the pack was not opened');
    const got = await p.evaluate(() => window.twinfoldPack);
    expect(got.ok && got.title === 'Two flats', JSON.stringify(got));
    const from = log.length;
    await newgame(p);
    await logline(log, 'next level: two.lvl', from);
    await p.close();
    siteserver.close();
  });

  await check('hostile packs, picked or dropped, are refused with the reader\'s reason and the page plays on', async () => {
    const level = { name: 'one.lvl', bytes: flat };
    const replay = { name: 'one.replay', bytes: '100 R\n' };
    const hostile = [
      { file: 'escape.twinpack', names: '../one.lvl', bytes: packof([{ name: '../one.lvl', bytes: flat }, replay]) },
      { file: 'twins.twinpack', names: 'One.lvl',
        bytes: packof([level, { name: 'One.lvl', bytes: flat }, replay]) },
      { file: 'lie.twinpack', names: 'one.lvl', bytes: packof([level, replay], { 'one.lvl': 'ab'.repeat(32) }) },
      { file: 'huge.twinpack', names: 'art.png',
        bytes: packof([{ name: 'one.lvl', bytes: flat + 'setBackground("art");\n' },
                       { name: 'art.png', bytes: pngheader(100000, 100000) }, replay]) },
      { file: 'outside.twinpack', names: 'tutorial2.lvl',
        bytes: packof([{ name: 'one.lvl', bytes: flat + 'setNextLevel("tutorial2.lvl");\n' }, replay]) },
      { file: 'notazip.twinpack', names: 'notazip.twinpack', bytes: 'setStartPosition(1,1);\n' },
    ];
    const { page: p, log } = await openpage(browser, url);
    await until(p, () => window.twinfoldLevels, LOADMS, 'the levels did not load');
    for (const h of hostile) {
      // The last one is dropped on the page, the others picked.
      const file = path.join(dir, h.file);
      fs.writeFileSync(file, h.bytes);
      const got = h === hostile[hostile.length - 1] ? await drop(p, h.file, Buffer.from(h.bytes))
                                                    : await pick(p, file);
      expect(!got.pack.ok, `${h.file} was opened`);
      expect(got.pack.refusals.length > 0 && got.pack.refusals.every((r) => r.startsWith(h.file + ': ')),
             `${h.file}: ${JSON.stringify(got.pack.refusals)}`);
      expect(got.pack.refusals.some((r) => r.includes(h.names)),
             `${h.file}: no refusal names ${h.names}: ${JSON.stringify(got.pack.refusals)}`);
      expect(got.shown.includes(got.pack.refusals[0]), `the page shows "${got.shown}"`);
    }
    const from = log.length;
    await newgame(p);
    await logline(log, 'next level: tutorial2.lvl', from);
    expect(!(await p.evaluate(() => window.twinfoldEnded)), 'the game ended');
    await p.close();
  });

  await browser.close();
  server.close();
  fs.rmSync(profile, { recursive: true, force: true });
  fs.rmSync(dir, { recursive: true, force: true });
  process.exit(finish());
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
