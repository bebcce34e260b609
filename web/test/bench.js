// The browser's figures for make bench: the page's load to the first title
// frame; a first visit over a 20 and a 5 Mbit/s link, to the title and to the
// first level's package; the game's bytes before and after the pictures'
// recompression; and frames per second of the game in Chromium against
// bench/frames built for the web (web/bench/frames.html) in the same browser,
// both on an emulated phone held sideways, on the title and in the first
// level at rest. Prints the figures as one JSON line.
//
// Usage: node bench.js WEBBUILD GAMEFOLDER
//   GAMEFOLDER  the native build's game folder, the pictures as drawn
// Exit status: 0 with the figures, 1 when a page does not come up, 2 on a
// wrong command line.
'use strict';
const path = require('path');
const fs = require('fs');
const { PHONE, serve, launch, slowvisit } = require('./browser');

const [webbuild, gamefolder] = process.argv.slice(2);
if (!webbuild || !gamefolder || process.argv.length > 4) {
  console.error('usage: node bench.js WEBBUILD GAMEFOLDER');
  process.exit(2);
}
const LOADMS = 120000;
const LOADS = 5;      // page loads timed
const WINDOWS = 8;    // alternating windows of each page
const WINDOWMS = 1500;

// Counts the animation frames a page runs, and can hold them back: a held
// page draws nothing while the other one is measured, as the native bench
// stops the other program.
function framewatch() {
  const raf = window.requestAnimationFrame.bind(window);
  const w = window.twinfoldFrames = { n: 0, last: 0, held: null };
  window.requestAnimationFrame = function (cb) {
    return raf(function (t) {
      if (w.held) { w.held.push(cb); return; }
      w.n++;
      w.last = performance.now();
      cb(t);
    });
  };
  window.twinfoldHold = function (hold) {
    if (hold) { if (!w.held) w.held = []; return; }
    const held = w.held || [];
    w.held = null;
    held.forEach((cb) => window.requestAnimationFrame(cb));
  };
}

async function open(browser, url) {
  const page = await browser.newPage();
  const log = [];
  page.on('console', (m) => log.push(m.text()));
  await page.evaluateOnNewDocument(framewatch);
  await page.setViewport(PHONE);
  await page.goto(url, { waitUntil: 'domcontentloaded' });
  return { page, log };
}

const median = (xs) => {
  const s = xs.filter((x) => Number.isFinite(x)).sort((a, b) => a - b);
  if (!s.length) return NaN;
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};
const pause = (ms) => new Promise((r) => setTimeout(r, ms));

// Frames a second of one page over a window, the other held.
async function window1(page, other) {
  await other.evaluate(() => twinfoldHold(true));
  await page.bringToFront();
  await page.evaluate(() => twinfoldHold(false));
  await pause(300);
  const a = await page.evaluate(() => ({ n: twinfoldFrames.n, t: twinfoldFrames.last }));
  await pause(WINDOWMS);
  const b = await page.evaluate(() => ({ n: twinfoldFrames.n, t: twinfoldFrames.last }));
  return b.t > a.t ? (b.n - a.n) * 1000 / (b.t - a.t) : NaN;
}

async function pairs(game, plain) {
  const g = [], p = [], r = [];
  for (let k = 0; k < WINDOWS; k++) {
    const x = await window1(game, plain);
    const y = await window1(plain, game);
    g.push(x); p.push(y); r.push(x / y);
  }
  await game.evaluate(() => twinfoldHold(false));
  await plain.evaluate(() => twinfoldHold(false));
  return { game: median(g), plain: median(p), ratio: median(r) };
}

async function waitfor(page, fn, what) {
  try {
    await page.waitForFunction(fn, { timeout: LOADMS, polling: 50 });
  } catch (e) {
    throw new Error(`${what} within ${LOADMS} ms`);
  }
}

// A click at a point of the canvas in the game's pixels, wherever the page
// shows it and at whatever size.
async function clickat(page, x, y) {
  const r = await page.evaluate(() => {
    const c = document.getElementById('canvas').getBoundingClientRect();
    return { x: c.left, y: c.top, s: c.width / 1024 };
  });
  await page.mouse.move(r.x + x * r.s, r.y + y * r.s);
  await page.mouse.down();
  await page.mouse.up();
}

async function main() {
  const root = path.resolve(webbuild);
  const server = await serve(root);
  const url = `http://127.0.0.1:${server.address().port}/`;
  const { browser, profile } = await launch();
  const figures = {};

  // Load to the first title frame, each load afresh (no cache).
  const loads = [];
  for (let i = 0; i < LOADS; i++) {
    const page = await browser.newPage();
    await page.setCacheEnabled(false);
    // Nor the files the page's service worker kept at the load before.
    await page.setBypassServiceWorker(true);
    await page.goto(url, { waitUntil: 'domcontentloaded' });
    await waitfor(page, () => window.twinfoldTitle, 'no title frame');
    loads.push(await page.evaluate(() => window.twinfoldTitle));
    await page.close();
  }
  figures.loads = loads.map((l) => Math.round(l.ms));
  figures.titlems = median(loads.map((l) => l.ms));
  figures.titlebytes = loads[0].bytes;
  const size = (f) => fs.statSync(path.join(root, f)).size;
  const levels = JSON.parse(fs.readFileSync(path.join(root, 'levels.json'), 'utf8')).packages;
  figures.sizes = Object.fromEntries(['twinfold.js', 'twinfold.wasm', 'twinfold.data', 'levels.js',
    'twinfold_frames.wasm'].map((f) => [f, size(f)]));
  figures.sizes.levels = levels.reduce((n, q) => n + q.bytes, 0);
  figures.sizes.first = levels[0].bytes;
  figures.sizes.biggest = Math.max(...levels.map((q) => q.bytes));
  figures.packages = levels.length;

  // The game's files as drawn (the native game folder) and as the page ships
  // them, every picture recompressed (what twinfold.data and the levels'
  // packages hold).
  const folder = (dir) => fs.readdirSync(dir).reduce((n, f) => {
    const st = fs.statSync(path.join(dir, f));
    return n + (st.isDirectory() ? folder(path.join(dir, f)) : st.isFile() ? st.size : 0);
  }, 0);
  figures.game = { drawn: folder(gamefolder), shipped: size('twinfold.data') + figures.sizes.levels };

  // A first visit over a slow link, once at each speed.
  figures.slow = {};
  for (const mbits of [20, 5]) {
    const v = await slowvisit(browser, url, mbits, 10 * LOADMS);
    if (!v.first || v.first.state !== 'in') throw new Error(`the first level did not load at ${mbits} Mbit/s`);
    figures.slow[mbits] = { titlems: v.title.ms, titlebytes: v.title.bytes,
                            firstms: v.first.ms, firstbytes: v.first.bytes };
  }

  // The title: the game once its levels are in, the plain program's menu.
  const game = await open(browser, url);
  await waitfor(game.page, () => window.twinfoldLevels, 'the levels did not load');
  const plain = await open(browser, url + 'frames.html?menu');
  await waitfor(plain.page, () => twinfoldFrames.n > 10, 'the plain program drew no frames');
  await pause(1000);
  figures.menu = await pairs(game.page, plain.page);
  await plain.page.close();

  // Play: New game and the introduction pages, as a player clicks, then the
  // first level at rest after its fade-in.
  await game.page.bringToFront();
  for (let i = 0; i < 5; i++) {
    await clickat(game.page, 700, 138);
    await pause(300);
  }
  const end = Date.now() + LOADMS;
  while (!game.log.includes('next level: tutorial2.lvl')) {
    if (Date.now() > end) throw new Error('the first level did not start');
    await pause(50);
  }
  const plainplay = await open(browser, url + 'frames.html?play=tutorial1.lvl');
  await waitfor(plainplay.page, () => twinfoldFrames.n > 10, 'the plain program drew no level');
  await pause(2000);
  figures.play = await pairs(game.page, plainplay.page);

  await browser.close();
  server.close();
  fs.rmSync(profile, { recursive: true, force: true });
  console.log(JSON.stringify(figures));
}

main().catch((e) => {
  console.error(e.message || e);
  process.exit(1);
});
