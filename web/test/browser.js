// What the browser tests and the browser benchmarks share: a static server
// for the build folder and Debian's Chromium, headless, drawing WebGL with
// SwiftShader. CHROMIUM overrides /usr/bin/chromium.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const http = require('http');
const puppeteer = require('puppeteer-core');

const types = { '.html': 'text/html', '.css': 'text/css', '.js': 'text/javascript',
                '.wasm': 'application/wasm', '.json': 'application/json',
                '.data': 'application/octet-stream' };

// The phone the touch tests and the bench emulate: held sideways, touch, no
// hover, three device pixels to the CSS pixel.
const PHONE = { width: 844, height: 390, deviceScaleFactor: 3, isMobile: true, hasTouch: true,
                isLandscape: true };

// A static server on 127.0.0.1 for the build folder, as any static host;
// replaced maps a file name to the bytes to serve in its place.
function serve(root, replaced = {}) {
  const server = http.createServer((req, res) => {
    const name = decodeURIComponent(req.url.split('?')[0]);
    const file = path.join(root, name === '/' ? 'index.html' : name);
    if (replaced[name]) {
      res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
      res.end(replaced[name]);
      return;
    }
    if (!file.startsWith(root) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404);
      res.end();
      return;
    }
    res.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'twinfold-chromium-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           '--no-first-run'],
  });
  return { browser, profile };
}

// The checks of one test file: each runs on its own, timed, with a line for
// its outcome; TWINFOLD_WEB_ONLY=REGEX runs the checks it matches only.
// finish() prints how many passed and gives the exit status.
function checks(what) {
  const results = [];
  const only = process.env.TWINFOLD_WEB_ONLY ? new RegExp(process.env.TWINFOLD_WEB_ONLY) : null;
  async function check(name, body) {
    if (only && !only.test(name)) return;
    const t0 = Date.now();
    try {
      await body();
      results.push(true);
      console.log(`ok    ${name} (${Date.now() - t0} ms)`);
    } catch (e) {
      results.push(false);
      console.log(`FAIL  ${name}: ${e.message}`);
    }
  }
  function expect(cond, message) {
    if (!cond) throw new Error(message);
  }
  function finish() {
    const failed = results.filter((ok) => !ok).length;
    console.log(`${results.length - failed} of ${results.length} ${what} checks passed`);
    return failed ? 1 : 0;
  }
  return { check, expect, finish };
}

// Two PNG screenshots compared in a page of the tests' own (page): how many
// pixels differ by more than the tolerance in a channel, outside a box given
// in the game's 1024 by 768 pixels (scaled with a picture of another width).
async function comparepng(page, a, b, tolerance, outside) {
  return page.evaluate(async (a64, b64, tolerance, box) => {
    async function pixels(b64) {
      const img = new Image();
      img.src = 'data:image/png;base64,' + b64;
      await img.decode();
      const c = document.createElement('canvas');
      c.width = img.width;
      c.height = img.height;
      const g = c.getContext('2d');
      g.drawImage(img, 0, 0);
      return { w: img.width, h: img.height, d: g.getImageData(0, 0, img.width, img.height).data };
    }
    const p = await pixels(a64), q = await pixels(b64);
    if (p.w !== q.w || p.h !== q.h) return { size: `${p.w}x${p.h} against ${q.w}x${q.h}` };
    const s = p.w / 1024;
    let bad = 0, worst = 0;
    for (let y = 0; y < p.h; y++) {
      for (let x = 0; x < p.w; x++) {
        if (box && x >= box.x0 * s && x < box.x1 * s && y >= box.y0 * s && y < box.y1 * s) continue;
        const i = 4 * (y * p.w + x);
        let m = 0;
        for (let k = 0; k < 3; k++) m = Math.max(m, Math.abs(p.d[i + k] - q.d[i + k]));
        worst = Math.max(worst, m);
        if (m > tolerance) bad++;
      }
    }
    return { bad, worst, pixels: p.w * p.h };
  }, a.toString('base64'), b.toString('base64'), tolerance, outside || null);
}

// A first visit over a slow link: the page loaded with nothing cached (nor
// kept by its service worker) through Chromium's network emulation at mbits
// Mbit/s with 40 ms of latency, until the first level's package is in.
// Milliseconds from the navigation's start and bytes transferred, to the
// first title frame (title) and to the moment New game can start (first).
// The page sees no service worker: at a first visit it copies start-up's
// files from the browser's cache, which is off here, so it would fetch them
// a second time over the slow link. (Intercepting requests would keep it
// out too, but Chromium's emulation does not slow intercepted requests.)
async function slowvisit(browser, url, mbits, limitms) {
  const page = await browser.newPage();
  await page.setCacheEnabled(false);
  await page.setBypassServiceWorker(true);
  await page.evaluateOnNewDocument(() => { delete Navigator.prototype.serviceWorker; });
  const cdp = await page.target().createCDPSession();
  await cdp.send('Network.enable');
  await cdp.send('Network.emulateNetworkConditions', {
    offline: false, latency: 40, downloadThroughput: mbits * 1e6 / 8, uploadThroughput: mbits * 1e6 / 8 });
  await page.goto(url, { waitUntil: 'domcontentloaded', timeout: limitms });
  await page.waitForFunction(() => window.twinfoldFirstLevel || window.twinfoldEnded,
                             { polling: 100, timeout: limitms });
  const figures = await page.evaluate(() => ({
    title: window.twinfoldTitle, first: window.twinfoldFirstLevel, ended: window.twinfoldEnded }));
  await page.close();
  return figures;
}

module.exports = { PHONE, serve, launch, checks, comparepng, slowvisit };
