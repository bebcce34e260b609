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
                '.wasm': 'application/wasm',
                '.data': 'application/octet-stream' };

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

module.exports = { serve, launch };
