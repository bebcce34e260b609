// The page's service worker: after one visit the game plays with the
// network off. Start-up's files are kept when it installs (from the
// browser's own cache, just filled by the page); every other file of the
// build is kept as the page first fetches it, or when the page says the
// levels are in (levels.json and each level's package), so a visit that
// loaded the levels keeps them too. The cache is named for the build's
// contents (make web writes the hash in place of BUILDHASH; levels.json
// holds each package's digest): a new build installs beside the
// old one and takes over only once no page of the old one is open, so a page
// never mixes the files of two builds; the old cache goes then.
'use strict';
const CACHE = 'twinfold-BUILDHASH';
const STARTUP = ['./', 'index.html', 'touch.js', 'touch.css', 'levels.js', 'twinfold.js',
                 'twinfold.wasm', 'twinfold.data'];

self.addEventListener('install', (e) => {
  e.waitUntil(caches.open(CACHE).then((c) => c.addAll(STARTUP)));
});

self.addEventListener('activate', (e) => {
  e.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n.startsWith('twinfold-') && n !== CACHE)
      .map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

// The page says when the levels are in, naming their files: those that came
// before this worker took the page over are fetched again for the cache
// (from the browser's own cache where the host lets it keep them). Only
// plain names of this folder are taken.
self.addEventListener('message', (e) => {
  const files = e.data && Array.isArray(e.data.levels) ? e.data.levels : [];
  e.waitUntil(caches.open(CACHE).then((c) => Promise.all(files
    .filter((f) => typeof f === 'string' && /^[\w-][\w.-]*$/.test(f))
    .map((f) => c.match(f).then((kept) => kept || c.add(f))))));
});

// The cache first; what is not in it comes from the network and is kept.
self.addEventListener('fetch', (e) => {
  if (e.request.method !== 'GET' || new URL(e.request.url).origin !== location.origin) return;
  e.respondWith(caches.open(CACHE).then((c) => c.match(e.request, { ignoreSearch: true })
    .then((kept) => kept || fetch(e.request).then((r) => {
      if (r.ok) c.put(e.request, r.clone());
      return r;
    }))));
});
