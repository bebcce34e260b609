// Plays the browser build by touch in headless Chromium, a phone emulated
// (touch, no hover, 844 by 390, device scale factor 3): the touch controls
// shown and named, taps through the title and the introduction, walking,
// jumping, the menu and Resume, a pad or a key hiding the controls, none on a
// desktop, a shift dragged by a second finger against the native game's
// picture (a wide tablet, where the picture shows at its own size),
// tutorial1 finished by touches on the controls alone, and the game played
// again with the server gone after one visit.
//
// Usage: node touch.test.js WEBBUILD NATIVESHOTS [SCREENSHOTS]
//   WEBBUILD     the folder make web fills
//   NATIVESHOTS  the native game's shift.png and tutorial1.script, as for
//                play.test.js
//   SCREENSHOTS  where to keep phone.png, the phone in play, for the README
// Exit status: 0 when every check passes, 1 when one fails, 2 on a wrong
// command line.
'use strict';
const fs = require('fs');
const path = require('path');
const { PHONE, serve, launch, checks, comparepng } = require('./browser');

const [webbuild, nativeshots, screenshots] = process.argv.slice(2);
if (!webbuild || !nativeshots || process.argv.length > 5) {
  console.error('usage: node touch.test.js WEBBUILD NATIVESHOTS [SCREENSHOTS]');
  process.exit(2);
}

const LOADMS = 120000;  // generous bounds: every wait polls and ends early
const WAITMS = 30000;
const CONTROLS = ['left', 'right', 'jump', 'shift', 'menu'];
const HEROBOX = { x0: 488, y0: 354, x1: 536, y1: 414 };  // canvas pixels, as the native tests
const CHANNELTOLERANCE = 4;    // as play.test.js, against the native pictures
const PIXELSALLOWED = 0.001;

const { check, expect, finish } = checks('touch');
const pause = (ms) => new Promise((r) => setTimeout(r, ms));

async function until(page, fn, ms, what, ...args) {
  try {
    await page.waitForFunction(fn, { timeout: ms, polling: 50 }, ...args);
  } catch (e) {
    throw new Error(`${what} within ${ms} ms`);
  }
}

async function logline(log, pattern, from = 0, ms = WAITMS) {
  const end = Date.now() + ms;
  for (;;) {
    const i = log.findIndex((l, n) => n >= from && pattern.test(l));
    if (i >= 0) return i;
    if (Date.now() > end) throw new Error(`no log line ${pattern} within ${ms} ms`);
    await pause(50);
  }
}

// A page with a touch screen, its console lines collected and a session for
// the touches. The stage of a tablet is made exactly as tall as the picture.
async function openpage(browser, url, viewport, before) {
  const page = await browser.newPage();
  const log = [];
  page.on('console', (m) => log.push(m.text()));
  page.on('pageerror', (e) => log.push(`page error: ${e.message}`));
  if (before) await page.evaluateOnNewDocument(before);
  const { stage, ...size } = viewport;
  await page.setViewport(size);
  await page.goto(url, { waitUntil: 'domcontentloaded' });
  if (stage) {
    const footer = await page.evaluate(() => document.querySelector('footer').offsetHeight);
    await page.setViewport({ ...size, height: stage + footer });
  }
  await page.bringToFront();
  await until(page, () => window.twinfoldLevels, LOADMS, 'the levels did not load');
  return { page, log, fingers: await fingers(page) };
}

// Fingers on the emulated touch screen, each by its number, at CSS pixels.
async function fingers(page) {
  const cdp = await page.createCDPSession();
  const down = new Map();
  const send = (type) => cdp.send('Input.dispatchTouchEvent', {
    type, touchPoints: [...down].map(([id, p]) => ({ id, x: p.x, y: p.y })) });
  return {
    start: (id, p) => { down.set(id, p); return send('touchStart'); },
    move: (id, p) => { down.set(id, p); return send('touchMove'); },
    end: (id) => { down.delete(id); return send('touchEnd'); },
    async tap(p) {
      down.set(99, p);
      await send('touchStart');
      down.delete(99);
      await send('touchEnd');
    },
  };
}

async function canvasrect(page) {
  return page.evaluate(() => {
    const r = document.getElementById('canvas').getBoundingClientRect();
    return { x: r.left, y: r.top, width: r.width, height: r.height };
  });
}

// A point of the picture, in the canvas's own pixels, in CSS pixels.
async function at(page, x, y) {
  const r = await canvasrect(page);
  return { x: r.x + x * r.width / 1024, y: r.y + y * r.height / 768 };
}

async function control(page, name) {
  return page.$eval(`#touchcontrols [aria-label="${name}"]`, (b) => {
    const r = b.getBoundingClientRect();
    return { x: r.left + r.width / 2, y: r.top + r.height / 2 };
  });
}

// The canvas as a PNG at its CSS size: a phone's three device pixels to the
// CSS pixel would only slow the comparisons.
async function shot(page) {
  const r = await canvasrect(page);
  const dpr = await page.evaluate(() => devicePixelRatio);
  return page.screenshot({ clip: { ...r, scale: 1 / dpr }, type: 'png' });
}

// Pixels of two PNGs of the same size compared in a page of their own: how
// many differ by more than the tolerance in a channel, outside a box given in
// the canvas's pixels.
let comparer = null;
async function compare(a, b, outside) {
  return comparepng(comparer, a, b, CHANNELTOLERANCE, outside);
}

// The picture at rest: two shots apart that differ in no more pixels than a
// frame of the hero's idle animation changes (on a loaded machine shots come
// a second or more apart, and the idle frames turn over while they do).
async function steady(page) {
  let last = await shot(page);
  const end = Date.now() + WAITMS;
  while (Date.now() < end) {
    await pause(200);
    const now = await shot(page);
    const r = await compare(now, last);
    if (r.bad <= r.pixels * PIXELSALLOWED) return now;
    last = now;
  }
  throw new Error('the picture did not settle');
}

// Waits until the picture differs from the one given in more than a tenth of
// its pixels (the camera follows the hero, so the level moves when he does).
async function moves(page, from, what) {
  const end = Date.now() + WAITMS;
  for (;;) {
    const r = await compare(from, await shot(page));
    if (r.bad > r.pixels / 10) return;
    expect(Date.now() < end, `${what}: only ${r.bad} pixels changed`);
  }
}

// New game tapped on the title, then a tap on each introduction page.
async function newgame(page, f) {
  for (let i = 0; i < 5; i++) {
    await f.tap(await at(page, 700, 138));
    await pause(300);
  }
}

async function shown(page) {
  return page.evaluate((names) => names.map((n) => {
    const b = document.querySelector(`#touchcontrols [aria-label="${n}"]`);
    return !!b && b.getClientRects().length > 0 && getComputedStyle(b).visibility === 'visible';
  }), CONTROLS);
}

// Runs in the page before the game: a pad behind navigator.getGamepads whose
// state changes when the test asks, as a pad in use does.
function changingpad() {
  const pad = { id: 'test pad', index: 0, connected: true, mapping: 'standard', timestamp: 1,
                axes: [0, 0, 0, 0], buttons: [] };
  window.twinfoldPadUsed = () => { pad.timestamp++; };
  Object.defineProperty(navigator, 'getGamepads', { configurable: true,
                                                   value: () => [pad, null, null, null] });
}

// A play script (twinfold-playscript) as lines: FRAME clock MS, FRAME down
// KEY, FRAME up KEY, FRAME click X Y.
function readscript(file) {
  return fs.readFileSync(file, 'utf8').split('\n')
    .map((l) => l.trim().split(/\s+/))
    .filter((w) => /^\d+$/.test(w[0]) && w[1] !== 'snap')
    .map((w) => ({ frame: Number(w[0]), kind: w[1], value: Number(w[2]), key: w[2],
                   x: Number(w[2]), y: Number(w[3]) }));
}

// Runs in the page: the play script as touches, at the game's own frames as
// play.test.js feeds its keys: each buffer swap moves the virtual clock that
// SDL_GetTicks reads and touches that frame's controls (a finger of its own
// on each) or taps the picture where the script clicks. The quit key, which
// has no control, is left out.
function drivetouches(lines) {
  const start = SDL.startTime;
  let now = Date.now() - start;
  let clockms = 0, frame = 0, next = 0;
  Date.now = () => start + now;
  const controls = { left: 'left', right: 'right', up: 'jump', space: 'shift', escape: 'menu' };
  function touch(type, target, id, x, y) {
    const t = new Touch({ identifier: id, target, clientX: x, clientY: y });
    const down = type === 'touchstart';
    target.dispatchEvent(new TouchEvent(type, { bubbles: true, cancelable: true,
      touches: down ? [t] : [], targetTouches: down ? [t] : [], changedTouches: [t] }));
  }
  function finger(type, name) {
    const b = document.querySelector(`#touchcontrols [aria-label="${name}"]`);
    const r = b.getBoundingClientRect();
    touch(type, b, 1 + Object.keys(controls).indexOf(name), r.left + r.width / 2, r.top + r.height / 2);
  }
  window.twinfoldScript = { frame: 0, late: 0, unknown: [] };
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
      if ((l.kind === 'down' || l.kind === 'up') && controls[l.key]) {
        finger(l.kind === 'down' ? 'touchstart' : 'touchend', controls[l.key]);
      } else if (l.kind === 'down' || l.kind === 'up') {
        if (l.key !== 'f12') twinfoldScript.unknown.push(l.key);
      } else if (l.kind === 'click') {
        const c = Module.canvas, r = c.getBoundingClientRect();
        const x = r.left + l.x * r.width / 1024, y = r.top + l.y * r.height / 768;
        touch('touchstart', c, 90, x, y);
        touch('touchend', c, 90, x, y);
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
  const { page, log, fingers: f } = await openpage(browser, url, PHONE);

  await check('on a phone the five controls show, named, 48 pixels or more, half transparent, clear of the hero', async () => {
    expect((await shown(page)).every((s) => s), `controls shown: ${await shown(page)}`);
    const hero = await at(page, HEROBOX.x0, HEROBOX.y0), heroend = await at(page, HEROBOX.x1, HEROBOX.y1);
    const boxes = await page.evaluate((names) => names.map((n) => {
      const b = document.querySelector(`#touchcontrols [aria-label="${n}"]`);
      const r = b.getBoundingClientRect();
      return { n, x0: r.left, y0: r.top, x1: r.right, y1: r.bottom, opacity: Number(getComputedStyle(b).opacity) };
    }), CONTROLS);
    for (const b of boxes) {
      expect(b.x1 - b.x0 >= 48 && b.y1 - b.y0 >= 48, `${b.n} is ${b.x1 - b.x0} by ${b.y1 - b.y0}`);
      expect(b.opacity >= 0.3 && b.opacity <= 0.7, `${b.n} has opacity ${b.opacity}`);
      expect(b.x0 >= 0 && b.y0 >= 0 && b.x1 <= PHONE.width && b.y1 <= PHONE.height, `${b.n} is off the screen`);
      expect(b.x1 <= hero.x || b.x0 >= heroend.x || b.y1 <= hero.y || b.y0 >= heroend.y,
             `${b.n} covers the hero`);
    }
  });

  await check('taps on New game and through the introduction reach the first level', async () => {
    const from = log.length;
    await newgame(page, f);
    await logline(log, /^start location: 128,96$/, from);
    await logline(log, /^next level: tutorial2\.lvl$/, from);
  });

  await check('the right control held moves the hero, jump lifts him, and both fingers at once', async () => {
    let before = await steady(page);
    await f.start(1, await control(page, 'right'));
    await moves(page, before, 'right held');
    await f.end(1);
    before = await steady(page);
    await f.start(2, await control(page, 'jump'));
    await moves(page, before, 'jump held');
    await f.end(2);
    before = await steady(page);
    // The left walks him back while the jump finger is pressed, then lifted.
    await f.start(1, await control(page, 'left'));
    await f.start(2, await control(page, 'jump'));
    await moves(page, before, 'left and jump held');
    if (screenshots) {
      fs.mkdirSync(screenshots, { recursive: true });
      await page.screenshot({ path: path.join(screenshots, 'phone.png'),
                              clip: { x: 0, y: 0, width: PHONE.width, height: PHONE.height, scale: 1 / 3 } });
    }
    await f.end(2);
    await f.end(1);
  });

  await check('a touch that starts on a control and ends elsewhere lets it go; so does a lost focus', async () => {
    const right = await control(page, 'right');
    await f.start(1, right);
    await f.move(1, { x: right.x, y: right.y - 150 });
    await f.end(1);
    await steady(page);
    await f.start(1, await control(page, 'left'));
    await page.evaluate(() => window.dispatchEvent(new Event('blur')));
    const still = await page.evaluate(() => document.querySelectorAll('#touchcontrols .held').length);
    await f.end(1);
    expect(still === 0, `${still} controls still held after the page lost the focus`);
    await steady(page);
  });

  await check('the menu control shows the menu and a tap on Resume the same level', async () => {
    const inplay = await steady(page);
    await f.tap(await control(page, 'menu'));
    await moves(page, inplay, 'menu');
    await f.tap(await at(page, 700, 238));
    const back = await steady(page);
    const r = await compare(inplay, back, HEROBOX);
    expect(r.bad <= r.pixels * PIXELSALLOWED, `${r.bad} pixels differ after the menu and Resume`);
  });
  await page.close();

  await check('a pad in use or a key hides the controls, the next touch shows them again', async () => {
    const { page: p, fingers: pf } = await openpage(browser, url, PHONE, changingpad);
    expect((await shown(p)).every((s) => s), 'no controls before the pad');
    await p.evaluate(() => twinfoldPadUsed());
    await until(p, () => getComputedStyle(document.getElementById('touchcontrols')).display === 'none',
                WAITMS, 'the controls did not hide for the pad');
    await pf.tap(await at(p, 100, 700));
    expect((await shown(p)).every((s) => s), 'the controls did not come back at a touch');
    await p.keyboard.press('ArrowRight');
    expect((await shown(p)).every((s) => !s), 'the controls did not hide for a key');
    await p.close();
  });

  await check('a desktop shows no touch controls', async () => {
    const p = await browser.newPage();
    await p.setViewport({ width: 1024, height: 900 });
    await p.goto(url, { waitUntil: 'domcontentloaded' });
    expect((await shown(p)).every((s) => !s), 'touch controls on a desktop');
    await p.close();
  });

  await check('the shift held and a second finger\'s drag draw the foreground copies as the native game', async () => {
    const { page: p, fingers: pf } = await openpage(browser, url,
      { width: 1366, stage: 768, height: 900, isMobile: true, hasTouch: true, isLandscape: true });
    await p.evaluate(() => Module.FS.writeFile('/tutorial1.lvl', Module.FS.readFile('/tutorial9.lvl')));
    await newgame(p, pf);
    await steady(p);
    await pf.start(1, await control(p, 'shift'));
    const from = await at(p, 512, 300);
    await pf.start(2, from);
    // Right by 48 pixels of the picture in small moves; the vector stops at 32.
    for (let dx = 8; dx <= 48; dx += 8) {
      await pf.move(2, { x: from.x + dx, y: from.y });
      await pause(50);
    }
    const native = fs.readFileSync(path.join(nativeshots, 'shift.png'));
    const end = Date.now() + WAITMS;
    let r;
    for (;;) {
      r = await compare(await shot(p), native, HEROBOX);
      expect(!r.size, `sizes differ: ${r.size}`);
      if (r.bad <= r.pixels * PIXELSALLOWED) break;
      expect(Date.now() < end, `${r.bad} pixels differ from the native shift`);
    }
    await pf.end(2);
    await pf.end(1);
    await p.close();
  });

  await check('tutorial1 is finished by touches on the controls at the game\'s own frames', async () => {
    const lines = readscript(path.join(nativeshots, 'tutorial1.script'));
    const { page: p, log: plog } = await openpage(browser, url, PHONE);
    await p.evaluate(drivetouches, lines);
    const last = lines[lines.length - 1].frame;
    const first = await logline(plog, /^next level: tutorial2\.lvl$/, 0, WAITMS + last * 100);
    await logline(plog, /^next level: tutorial3\.lvl$/, first);
    const end = await p.evaluate(() => twinfoldScript);
    expect(end.late === 0, `${end.late} touches came a frame late`);
    expect(end.unknown.length === 0, `keys with no control: ${end.unknown.join(' ')}`);
    await p.close();
  });

  await check('after one visit that loaded the levels, the page reaches the first level with the server gone', async () => {
    // A server of its own: its origin has a service worker of its own, and
    // closing it leaves only what that worker kept.
    const own = await serve(root);
    const { page: p, log: plog, fingers: pf } = await openpage(browser,
      `http://127.0.0.1:${own.address().port}/`, PHONE);
    // Start-up's files, the level fetcher, its list and every level's package.
    const levels = JSON.parse(fs.readFileSync(path.join(root, 'levels.json'), 'utf8'));
    const files = ['twinfold.data', 'levels.js', 'levels.json'].concat(levels.packages.map((q) => q.data));
    await until(p, async (files) => {
      for (const name of await caches.keys()) {
        const c = await caches.open(name);
        const kept = await Promise.all(files.map((f) => c.match(f)));
        if (kept.every((r) => r)) return true;
      }
      return false;
    }, LOADMS, 'the service worker did not keep the game\'s files', files);
    own.close();
    own.closeAllConnections();
    const from = plog.length;
    await p.reload({ waitUntil: 'domcontentloaded' });
    await until(p, () => window.twinfoldLevels, LOADMS, 'the levels did not load offline');
    await newgame(p, pf);
    await logline(plog, /^start location: 128,96$/, from);
    await p.close();
  });

  await browser.close();
  server.close();
  fs.rmSync(profile, { recursive: true, force: true });
  process.exit(finish());
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
