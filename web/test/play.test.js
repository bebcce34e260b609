// Plays the browser build in headless Chromium and checks it against the
// native game: the log in the console, the title's pixels, a new game through
// the introduction into the first level, walking, a shift's foreground copies,
// the sound after the first key, F12, a pad at the Gamepad API, tutorial1
// finished by its replay as a play script while the next level's package is
// held back, a broken picture at start-up, a corrupt level package, and the
// bytes before the title and before New game over a slow link.
//
// Usage: node play.test.js WEBBUILD NATIVESHOTS [SCREENSHOTS]
//   WEBBUILD     the folder make web fills (index.html, twinfold.*)
//   NATIVESHOTS  the native game's title.png and shift.png (make screenshots),
//                and tutorial1.script, tutorial1's replay as a play script
//                (twinfold-playscript), with keys.json, its key names
//                (twinfold-playscript --keys)
//   SCREENSHOTS  where to keep web.png, the page in play, for the README
// Exit status: 0 when every check passes, 1 when one fails, 2 on a wrong
// command line. Chromium is Debian's (CHROMIUM overrides /usr/bin/chromium).
'use strict';
const crypto = require('crypto');
const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const { serve, launch, checks, comparepng, slowvisit } = require('./browser');

const [webbuild, nativeshots, screenshots] = process.argv.slice(2);
if (!webbuild || !nativeshots || process.argv.length > 5) {
  console.error('usage: node play.test.js WEBBUILD NATIVESHOTS [SCREENSHOTS]');
  process.exit(2);
}

// Bounds for every wait: generous, since the machine may be busy; each wait
// polls and ends as soon as what it waits for is there.
const LOADMS = 120000;
const WAITMS = 30000;

// Tolerance for a pixel of the browser against the native game: 4 per colour
// channel, as the native play tests allow between the game and its pictures.
// Both draw the same texels at the same places with the same blending, so the
// rest is rounding in blending and in the linear filter (SwiftShader against
// Mesa's llvmpipe), which stays within a few steps of 255. A handful of
// pixels along the edges of half-transparent tiles may round the other way.
const CHANNELTOLERANCE = 4;
const PIXELSALLOWED = 0.001;  // 786 of the 786,432 pixels

// Where the native tests leave the hero's box out: the hero's animation frame
// depends on when the picture is taken.
const HEROBOX = { x0: 488, y0: 354, x1: 536, y1: 414 };

const { check, expect, finish } = checks('browser');

// Counts the sound buffers the game's audio callback fills, how many of them
// are not silent, and the frames the page asks for; keeps the audio context.
function audiowatch() {
  window.twinfoldAudio = { buffers: 0, loud: 0, context: null, frames: 0 };
  const frame = window.requestAnimationFrame;
  window.requestAnimationFrame = function () {
    twinfoldAudio.frames++;
    return frame.apply(window, arguments);
  };
  const start = AudioBufferSourceNode.prototype.start;
  AudioBufferSourceNode.prototype.start = function () {
    twinfoldAudio.buffers++;
    const b = this.buffer;
    if (b) {
      const left = b.getChannelData(0);
      for (let i = 0; i < left.length; i++) {
        if (left[i] !== 0) { twinfoldAudio.loud++; break; }
      }
    }
    return start.apply(this, arguments);
  };
  // Headless Chromium lets any page play sound; a browser on a desktop
  // starts a page's audio context suspended until the first click or key.
  // The game makes its context at start-up, before any: it is suspended here
  // as such a browser would have it.
  const Context = window.AudioContext;
  window.AudioContext = function () {
    const c = new Context(...arguments);
    c.suspend();
    twinfoldAudio.context = c;
    return c;
  };
  window.AudioContext.prototype = Context.prototype;
}

// Runs in the page before the game: a pad of the Gamepad API's standard
// layout behind navigator.getGamepads, listed, as a browser lists a pad, only
// once a button on it has been pressed. It is moved as the desktop's virtual
// pad is, by the game's own frames: twinfoldPad.queue takes changes, [ 'b',
// BUTTON, 0 or 1 ] or [ 'a', AXIS, -1..1 ], and each buffer swap makes the
// next one, so the game's next frame reads it and a press and its release
// are always seen apart.
function scriptedpad() {
  const pad = { id: 'scripted pad (STANDARD GAMEPAD)', index: 0, connected: true,
                mapping: 'standard', timestamp: 1, axes: [0, 0, 0, 0],
                buttons: Array.from({ length: 17 }, () => ({ pressed: false, touched: false, value: 0 })) };
  let listed = false, hooked = false;
  window.twinfoldPad = { queue: [], swaps: 0 };
  function next() {
    twinfoldPad.swaps++;
    const change = twinfoldPad.queue.shift();
    if (!change) return;
    const [kind, i, v] = change;
    if (kind === 'b') pad.buttons[i] = { pressed: v !== 0, touched: v !== 0, value: v };
    if (kind === 'a') pad.axes[i] = v;
    listed = listed || (kind === 'b' && v !== 0);
    pad.timestamp++;
  }
  // The game's SDL asks for the pads every frame; the first time, the
  // runtime's swap is there to hook.
  Object.defineProperty(navigator, 'getGamepads', { configurable: true, value: () => {
    if (!hooked && typeof Browser === 'object') {
      hooked = true;
      const swap = Browser.doSwapBuffers;
      Browser.doSwapBuffers = function () {
        if (swap) swap();
        next();
      };
    }
    return [listed ? pad : null, null, null, null];
  } });
}

// A page with the console collected, sized so the canvas shows at 1024 by 768;
// before, if given, runs in it ahead of the game's script.
// prepare(page), when given, runs before the page is opened.
async function openpage(browser, url, before, prepare) {
  const page = await browser.newPage();
  if (prepare) await prepare(page);
  const log = [];
  page.on('console', (m) => log.push({ type: m.type(), text: m.text() }));
  page.on('pageerror', (e) => log.push({ type: 'pageerror', text: e.message }));
  await page.evaluateOnNewDocument(audiowatch);
  if (before) await page.evaluateOnNewDocument(before);
  await page.setViewport({ width: 1024, height: 900 });
  await page.goto(url, { waitUntil: 'domcontentloaded' });
  await fitcanvas(page);
  await page.bringToFront();
  return { page, log };
}

async function canvasrect(page) {
  return page.evaluate(() => {
    const r = document.getElementById('canvas').getBoundingClientRect();
    return { x: r.left, y: r.top, width: r.width, height: r.height };
  });
}

// Sizes the window so that the canvas shows at 1024 by 768 on whole pixels:
// the page's header and footer above and below it. The footer's lines change
// as the page loads (its status, the pack bar), so this is checked again
// before every screenshot.
async function fitcanvas(page) {
  const end = Date.now() + WAITMS;
  for (;;) {
    const r = await canvasrect(page);
    if (r.width === 1024 && r.height === 768 && Number.isInteger(r.x) && Number.isInteger(r.y)) return r;
    if (Date.now() > end) throw new Error(`the canvas shows at ${JSON.stringify(r)}, not 1024 by 768`);
    const chrome = await page.evaluate(() =>
      document.querySelector('header').offsetHeight + document.querySelector('footer').offsetHeight);
    await page.setViewport({ width: 1024, height: 768 + chrome });
    await new Promise((res) => setTimeout(res, 50));
  }
}

// The canvas as a PNG at 1024 by 768.
async function shot(page) {
  const r = await fitcanvas(page);
  return page.screenshot({ clip: r, type: 'png' });
}

// Pixels of two PNGs compared in a page of their own, opened once before the
// game's pages (a page opened later would take the focus, and with it the
// keys held in the game): how many differ by more than the tolerance in a
// channel, outside the given box if there is one.
let comparer = null;
async function compare(browser, a, b, outside) {
  return comparepng(comparer, a, b, CHANNELTOLERANCE, outside);
}

async function same(browser, webpng, nativepng, outside) {
  const r = await compare(browser, webpng, nativepng, outside);
  expect(!r.size, `sizes differ: ${r.size}`);
  expect(r.bad <= r.pixels * PIXELSALLOWED,
         `${r.bad} pixels differ by more than ${CHANNELTOLERANCE} (largest difference ${r.worst})`);
  return r;
}

// Waits for a log line, from the index given on.
async function logline(log, pattern, from = 0, ms = WAITMS) {
  const end = Date.now() + ms;
  for (;;) {
    const i = log.findIndex((l, n) => n >= from && pattern.test(l.text));
    if (i >= 0) return i;
    if (Date.now() > end) throw new Error(`no log line ${pattern} within ${ms} ms`);
    await new Promise((r) => setTimeout(r, 50));
  }
}

async function until(page, fn, ms, what, ...args) {
  try {
    await page.waitForFunction(fn, { timeout: ms, polling: 50 }, ...args);
  } catch (e) {
    throw new Error(`${what} within ${ms} ms`);
  }
}

// Clicks at a point of the canvas, in its own pixels (origin top left).
async function clickat(page, x, y) {
  const r = await canvasrect(page);
  await page.mouse.move(r.x + x, r.y + y);
  await page.mouse.down();
  await page.mouse.up();
}

// Frames the page draws a second, over two seconds: a figure, not a check
// (headless Chromium draws WebGL on the processor, through SwiftShader).
async function framerate(page) {
  return page.evaluate(() => new Promise((resolve) => {
    const before = twinfoldAudio.frames, t0 = performance.now();
    setTimeout(() => resolve(Math.round((twinfoldAudio.frames - before) * 10000 /
                                        (performance.now() - t0)) / 10), 2000);
  }));
}

// New game on the title, then a click through each of the four introduction
// pages; the first level is built after the last.
async function newgame(page) {
  await clickat(page, 700, 138);
  for (let i = 0; i < 4; i++) {
    await new Promise((r) => setTimeout(r, 300));
    await clickat(page, 700, 138);
  }
}

// Waits until two canvas pictures taken 200 ms apart show the same.
async function steady(browser, page) {
  let last = await shot(page);
  const end = Date.now() + WAITMS;
  while (Date.now() < end) {
    await new Promise((r) => setTimeout(r, 200));
    const now = await shot(page);
    const r = await compare(browser, now, last);
    if (r.bad === 0) return now;
    last = now;
  }
  throw new Error('the picture did not settle');
}

// The game stopped on a file it cannot do without: the page says so with the
// game's message naming the file, the console has the message as an error,
// and no frame is asked for after it.
// file: the file the message names, or a list of which it names one.
async function stoppedon(p, plog, file, ms) {
  await until(p, () => window.twinfoldEnded, ms, 'the page was not told of the failure');
  const shown = await p.evaluate(() => ({
    fatal: window.twinfoldEnded.fatal,
    detail: document.getElementById('noticedetail').textContent,
  }));
  expect(shown.fatal, 'the failure was taken for a quit');
  const errors = plog.filter((l) => l.type === 'error').map((l) => l.text);
  const files = [].concat(file);
  const names = (text) => files.some((f) => text.includes(f));
  expect(errors.some(names), `no message naming ${files.join(' or ')} in the console: ` + errors.join(' | '));
  expect(names(shown.detail), `the page shows "${shown.detail}"`);
  const frames = await p.evaluate(() => new Promise((resolve) => {
    const before = twinfoldAudio.frames;
    setTimeout(() => resolve(twinfoldAudio.frames - before), 500);
  }));
  expect(frames === 0, `${frames} frames asked for after the failure`);
}

// A play script (twinfold-playscript) as lines for the page: FRAME clock MS,
// FRAME down KEY, FRAME up KEY, FRAME click X Y; comments and snaps left out.
function readscript(file) {
  return fs.readFileSync(file, 'utf8').split('\n')
    .map((l) => l.trim().split(/\s+/))
    .filter((w) => /^\d+$/.test(w[0]) && w[1] !== 'snap')
    .map((w) => ({ frame: Number(w[0]), kind: w[1], value: Number(w[2]), key: w[2],
                   x: Number(w[2]), y: Number(w[3]) }));
}

// Runs in the page: feeds a play script to the game as the desktop's input
// driver does, by the game's own frames rather than the browser's time. At
// each buffer swap (the first one after this call is frame 1) the virtual
// clock moves and that frame's key and mouse events go into SDL's queue, so
// the game reads them in the same frame's poll, after the swap, whatever the
// browser's frame rate. SDL_GetTicks reads Date.now, which from here on
// tells the virtual clock: it stands where the game's clock stood and moves
// only by the script.
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
  window.twinfoldScript = { frame: 0, late: 0 };
  const swap = Browser.doSwapBuffers;
  Browser.doSwapBuffers = function () {
    if (swap) swap();
    frame++;
    const mine = [];
    while (next < lines.length && lines[next].frame <= frame) mine.push(lines[next++]);
    for (const l of mine) if (l.kind === 'clock') clockms = l.value;
    now += clockms;
    for (const l of mine) {
      if (l.frame !== frame) twinfoldScript.late++;
      if (l.kind === 'down' || l.kind === 'up') key(l.kind === 'down' ? 'keydown' : 'keyup', keys[l.key].browser);
      if (l.kind === 'click') {
        mouse('mousemove', l.x, l.y);
        mouse('mousedown', l.x, l.y);
        mouse('mouseup', l.x, l.y);
      }
    }
    twinfoldScript.frame = frame;
  };
}

async function main() {
  const root = path.resolve(webbuild);
  const server = await serve(root);
  const url = `http://127.0.0.1:${server.address().port}/`;
  const { browser, profile } = await launch();
  comparer = await browser.newPage();
  const { page, log } = await openpage(browser, url);
  const figures = {};

  await check('the console shows the banner and the title appears', async () => {
    await until(page, () => window.twinfoldTitle, LOADMS, 'no title frame');
    expect(log.some((l) => l.text === 'Twinfold Engine starting'), 'no "Twinfold Engine starting"');
    const first = log.findIndex((l) => l.type === 'log');
    expect(log[first].text === 'Twinfold Engine starting',
           `the first log line is "${log[first].text}"`);
    const errors = log.filter((l) => l.type === 'error' || l.type === 'pageerror');
    expect(errors.length === 0, 'errors in the console: ' + errors.map((l) => l.text).join(' | '));
    Object.assign(figures, await page.evaluate(() => window.twinfoldTitle));
  });

  await check('the title matches the native title, New game hovered', async () => {
    const native = fs.readFileSync(path.join(nativeshots, 'title.png'));
    const end = Date.now() + WAITMS;
    let result;
    for (;;) {
      // The pointer follows the canvas should the page's footer move it.
      const r = await fitcanvas(page);
      await page.mouse.move(r.x + 700, r.y + 167);
      try {
        result = await same(browser, await shot(page), native);
        break;
      } catch (e) {
        if (Date.now() > end) throw e;
      }
    }
    figures.titlemismatch = result.bad;
    figures.menufps = await framerate(page);
    figures.titleworst = result.worst;
  });

  await check('no sound before a key; the audio callback fills buffers after one', async () => {
    const before = await page.evaluate(() => ({
      state: twinfoldAudio.context && twinfoldAudio.context.state,
      buffers: twinfoldAudio.buffers,
    }));
    expect(before.state === 'suspended', `the sound device is ${before.state} before any key`);
    expect(await page.$eval('#sound', (e) => getComputedStyle(e).display !== 'none'),
           'the page does not say that sound starts at the first key');
    await page.keyboard.press('ShiftLeft');
    await until(page, (n) => twinfoldAudio.context.state === 'running' &&
                twinfoldAudio.buffers >= n + 4 && twinfoldAudio.loud >= 4,
                WAITMS, 'no buffers of sound after the first key', before.buffers);
    expect(await page.$eval('#sound', (e) => getComputedStyle(e).display === 'none'),
           'the page still says that sound starts at the first key');
  });

  await check('New game leads through the four introduction pages to the first level', async () => {
    await until(page, () => window.twinfoldLevels, LOADMS, 'the levels did not load');
    Object.assign(figures, { levelsms: await page.evaluate(() => window.twinfoldLevels.ms) });
    // The level's commands are the first lines after the introduction.
    const from = log.length;
    await newgame(page);
    // tutorial1.lvl's own lines, as the native game logs them.
    await logline(log, /^start location: 128,96$/, from);
    await logline(log, /^next level: tutorial2\.lvl$/, from);
  });

  await check('the arrow keys move the hero', async () => {
    const before = await steady(browser, page);
    await page.keyboard.down('ArrowRight');
    await new Promise((r) => setTimeout(r, 1000));
    await page.keyboard.up('ArrowRight');
    const after = await steady(browser, page);
    const r = await compare(browser, before, after);
    figures.playfps = await framerate(page);
    // The camera follows the hero: the whole level moves under it.
    expect(r.bad > r.pixels / 10, `only ${r.bad} pixels changed walking right`);
    if (screenshots) {
      fs.mkdirSync(screenshots, { recursive: true });
      await page.screenshot({ path: path.join(screenshots, 'web.png') });
    }
  });

  await check('Escape shows the title and Resume the same level', async () => {
    const inplay = await steady(browser, page);
    await page.keyboard.press('Escape');
    await clickat(page, 700, 238);
    const back = await steady(browser, page);
    const r = await compare(browser, inplay, back, HEROBOX);
    expect(r.bad <= r.pixels * PIXELSALLOWED, `${r.bad} pixels differ after Escape and Resume`);
  });

  await check('F12 ends the game, its sound and its loop; the page says so', async () => {
    await page.keyboard.press('F12');
    await until(page, () => window.twinfoldEnded, WAITMS, 'the page was not told of the end');
    const end = await page.evaluate(() => ({
      fatal: window.twinfoldEnded.fatal,
      notice: document.getElementById('notice').classList.contains('shown'),
      text: document.getElementById('noticetext').textContent,
      sound: twinfoldAudio.context.state,
      again: !!document.getElementById('again'),
    }));
    expect(!end.fatal, 'the end was taken for a failure');
    expect(end.notice && /ended/.test(end.text), 'the page does not show the end');
    expect(end.sound === 'suspended', `the sound is ${end.sound} after the end`);
    const still = await page.evaluate(() => new Promise((resolve) => {
      const frames = twinfoldAudio.frames, buffers = twinfoldAudio.buffers;
      setTimeout(() => resolve({ frames: twinfoldAudio.frames - frames,
                                 buffers: twinfoldAudio.buffers - buffers }), 500);
    }));
    expect(still.frames === 0, `${still.frames} frames asked for after the end`);
    expect(still.buffers === 0, `${still.buffers} sound buffers filled after the end`);
  });
  await page.close();

  await check('a shift dragged with d draws the foreground copies as the native game', async () => {
    const { page: p } = await openpage(browser, url);
    await until(p, () => window.twinfoldLevels, LOADMS, 'the levels did not load');
    // The ninth level, which has a shift, in place of the first, as the native
    // shift tests do it.
    await p.evaluate(() => Module.FS.writeFile('/tutorial1.lvl', Module.FS.readFile('/tutorial9.lvl')));
    await newgame(p);
    await steady(browser, p);
    await p.keyboard.down('Space');
    await p.keyboard.down('KeyD');
    const native = fs.readFileSync(path.join(nativeshots, 'shift.png'));
    const end = Date.now() + WAITMS;
    let ok = null;
    while (!ok) {
      const seen = await shot(p);
      try {
        ok = await same(browser, seen, native, HEROBOX);
      } catch (e) {
        if (Date.now() > end) {
          if (screenshots) fs.writeFileSync(path.join(screenshots, 'shift-seen.png'), seen);
          throw e;
        }
      }
    }
    await p.keyboard.up('KeyD');
    await p.keyboard.up('Space');
    figures.shiftmismatch = ok.bad;
    await p.close();
  });

  await check('a pad scripted at the Gamepad API works the menu and walks the hero', async () => {
    const { page: p, log: plog } = await openpage(browser, url, scriptedpad);
    await until(p, () => window.twinfoldLevels, LOADMS, 'the levels did not load');
    // North, which the game leaves alone, has the pad listed; four steps up
    // on the d-pad end on New game wherever the pointer starts; south clicks
    // it and turns the four introduction pages. Numbered as on the desktop,
    // d-pad up would be down, to Quit.
    const press = (b) => [['b', b, 1], ['b', b, 0]];
    const from = plog.length;
    await p.evaluate((changes) => twinfoldPad.queue.push(...changes),
                     [3, 12, 12, 12, 12, 0, 0, 0, 0, 0].flatMap(press));
    await logline(plog, /^start location: 128,96$/, from);
    // The d-pad's right walks the hero: the camera follows, the level moves.
    const before = await steady(browser, p);
    await p.evaluate(() => twinfoldPad.queue.push(['b', 15, 1]));
    const end = Date.now() + WAITMS;
    let moved = 0;
    while (moved <= 786432 / 10) {
      expect(Date.now() < end, `only ${moved} pixels changed with the d-pad held right`);
      moved = (await compare(browser, before, await shot(p))).bad;
    }
    await p.close();
  });

  await check('tutorial1 is finished by its replay; tutorial2, held back, is waited for', async () => {
    const lines = readscript(path.join(nativeshots, 'tutorial1.script'));
    expect(lines.length > 20, `the play script has ${lines.length} lines`);
    // tutorial2's package is held back until the game waits for it; the
    // page's service worker, which kept it at the first visit, is bypassed.
    let held = null;
    const hold = async (page) => {
      await page.setBypassServiceWorker(true);
      await page.setRequestInterception(true);
      page.on('request', (r) => {
        if (r.url().endsWith('/tutorial2.data')) held = r;
        else r.continue();
      });
    };
    const { page: p, log: plog } = await openpage(browser, url, undefined, hold);
    await until(p, () => window.twinfoldFirstLevel, LOADMS, 'the first level did not load');
    const keys = JSON.parse(fs.readFileSync(path.join(nativeshots, 'keys.json'), 'utf8'));
    await p.evaluate(drivescript, lines, keys);
    // At tutorial1's end the game stands: no frame runs, the page counts the
    // bytes of the level it waits for.
    const last = lines[lines.length - 1].frame;
    await until(p, () => /^Loading tutorial2: 0 of \d+ kB$/.test(document.getElementById('status').textContent),
                WAITMS + last * 100, 'the page did not say that it waits for tutorial2');
    expect(held, 'tutorial2.data was not asked for');
    const stood = await p.evaluate(() => new Promise((resolve) => {
      const before = twinfoldScript.frame;
      setTimeout(() => resolve(twinfoldScript.frame - before), 500);
    }));
    expect(stood === 0, `${stood} frames ran while tutorial2 was on its way`);
    held.continue();
    // The script quits with F12 once tutorial2 is built after tutorial1's
    // end: by then tutorial2's log lines are in.
    await until(p, () => window.twinfoldEnded, WAITMS + last * 100, 'the script did not end the game');
    const end = await p.evaluate(() => ({ fatal: window.twinfoldEnded.fatal, frame: twinfoldScript.frame,
                                          late: twinfoldScript.late }));
    expect(!end.fatal, 'the game stopped on a failure');
    expect(end.late === 0, `${end.late} events came a frame late`);
    const texts = plog.map((l) => l.text);
    const at = texts.indexOf('next level: tutorial2.lvl');
    expect(at >= 0 && texts.indexOf('next level: tutorial3.lvl') > at,
           'tutorial1 and then tutorial2 were not loaded in order');
    figures.replayframes = end.frame;
    await p.close();
  });

  await check('a broken picture stops the game with its message on the page and in the console', async () => {
    // The start-up package made again with the picture broken, and listed as
    // it now is, so that the page takes it and the game's loader meets it.
    const levels = JSON.parse(fs.readFileSync(path.join(root, 'levels.json'), 'utf8'));
    const menu = levels.start.files.find((f) => f.path === 'orvik_menu.png');
    expect(menu, 'orvik_menu.png is not in the start-up package');
    const files = zlib.gunzipSync(fs.readFileSync(path.join(root, 'twinfold.data')));
    files[menu.start + 1] ^= 0xff;  // the PNG signature's 'P'
    const data = zlib.gzipSync(files);
    Object.assign(levels.start, { bytes: data.length,
                                  sha256: crypto.createHash('sha256').update(data).digest('hex') });
    const broken = await serve(root, { '/twinfold.data': data, '/levels.json': JSON.stringify(levels) });
    const { page: p, log: plog } = await openpage(browser, `http://127.0.0.1:${broken.address().port}/`);
    await stoppedon(p, plog, 'orvik_menu.png', LOADMS);
    expect(!(await p.evaluate(() => window.twinfoldTitle)), 'the title was drawn regardless');
    await p.close();
    broken.close();
  });

  await check('a level package that arrives corrupt stops New game with a missing file on the page', async () => {
    const data = fs.readFileSync(path.join(root, 'tutorial1.data'));
    data[data.length >> 1] ^= 0xff;
    const broken = await serve(root, { '/tutorial1.data': data });
    const noworker = (page) => page.setBypassServiceWorker(true);
    const { page: p, log: plog } = await openpage(browser, `http://127.0.0.1:${broken.address().port}/`,
                                                  undefined, noworker);
    await until(p, () => window.twinfoldFirstLevel, LOADMS, 'the first level\'s package was not given up');
    expect(await p.evaluate(() => window.twinfoldFirstLevel.state) === 'failed', 'the corrupt package was taken');
    await newgame(p);
    // The game stops on the first of the package's files it opens, as it does
    // natively with those files missing.
    const levels = JSON.parse(fs.readFileSync(path.join(root, 'levels.json'), 'utf8'));
    await stoppedon(p, plog, levels.packages[0].files.map((f) => f.path), WAITMS);
    await p.close();
    broken.close();
  });

  await check('over a 20 Mbit/s link the title and New game come within their byte budgets', async () => {
    const visit = await slowvisit(browser, url, 20, LOADMS);
    expect(!visit.ended, 'the game ended while it loaded');
    // The budgets of a first visit on a phone: 7 MB before the title, 12 MB
    // before the first level can start. Time is the bench's (make bench).
    expect(visit.title.bytes <= 7e6, `${visit.title.bytes} bytes before the title`);
    expect(visit.first.state === 'in', `the first level's package is ${visit.first.state}`);
    expect(visit.first.bytes <= 12e6, `${visit.first.bytes} bytes before New game`);
    Object.assign(figures, { slowtitlems: Math.round(visit.title.ms), slowtitlebytes: visit.title.bytes,
                             slowfirstms: Math.round(visit.first.ms), slowfirstbytes: visit.first.bytes });
  });

  await browser.close();
  server.close();
  fs.rmSync(profile, { recursive: true, force: true });
  console.log(`figures: ${JSON.stringify(figures)}`);
  process.exit(finish());
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
