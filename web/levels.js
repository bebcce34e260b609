// The game's files for the page, in packages that web/levelpacks.py makes and
// levels.json lists. twinfold.data is what start-up opens (the menu, its
// music, the sounds): it is fetched as soon as this script runs, beside the
// game's code, and put in place before the game's main() (startup()). Each
// level is a package of its own, listed in the order the levels follow one
// another and fetched one after the other from the title on (start()), so New
// game waits only for the first. The game asks for a level through
// Module.levelready (src/main/platform_web.cpp) before it loads it; while the
// answer is no, the game stands still and the page says how far that level's
// package has come. A package comes deflated (gzip) and is inflated once
// whole. One that fails to arrive, or arrives other than levels.json says
// (its size, its SHA-256, its size inflated), puts no file in place: the
// game's own loader then reports the file missing, as on the desktop.
'use strict';
(function () {
  var packages = [];    // levels.json's packages, in chain order
  var bylevel = {};     // a level's file name -> its package
  var status = null;    // the page's status line
  var asked = null;     // the package of the level the game waits for
  var listed = false;   // levels.json is in: until then no level is
  var listing = null;   // levels.json, fetched once
  var first = null;     // the start-up package, fetched at once

  function kb(n) { return Math.round(n / 1024); }

  function show() {
    if (!status || !asked) return;
    status.textContent = asked.state === 'in' || asked.state === 'failed' ? '' :
      'Loading ' + asked.name + ': ' + kb(asked.got) + ' of ' + kb(asked.bytes) + ' kB';
  }

  // The package's bytes, counted as they come; null when it is not whole.
  function download(p) {
    return fetch(p.data).then(function (r) {
      if (!r.ok) return null;
      if (!r.body || !r.body.getReader) {
        return r.arrayBuffer().then(function (b) { p.got = b.byteLength; return new Uint8Array(b); });
      }
      var reader = r.body.getReader(), parts = [];
      function more() {
        return reader.read().then(function (c) {
          if (c.done) return;
          parts.push(c.value);
          p.got += c.value.length;
          if (p === asked) show();
          if (p.got > p.bytes) return;  // more than listed: corrupt, stop reading
          return more();
        });
      }
      return more().then(function () {
        if (p.got !== p.bytes) return null;
        var all = new Uint8Array(p.bytes), at = 0;
        parts.forEach(function (c) { all.set(c, at); at += c.length; });
        return all;
      });
    }).catch(function () { return null; });
  }

  // A digest where the page may compute one (a secure origin, as a service
  // worker needs too); elsewhere the size alone is checked.
  function intact(p, bytes) {
    if (!bytes) return Promise.resolve(false);
    if (!window.crypto || !crypto.subtle) return Promise.resolve(true);
    return crypto.subtle.digest('SHA-256', bytes).then(function (d) {
      var hex = Array.from(new Uint8Array(d), function (b) { return (b + 256).toString(16).slice(1); });
      return hex.join('') === p.sha256;
    });
  }

  // The package's files' bytes, inflated; null when they are not what
  // levels.json says.
  function inflate(p, bytes) {
    var stream = new Blob([bytes]).stream().pipeThrough(new DecompressionStream('gzip'));
    return new Response(stream).arrayBuffer().then(function (b) {
      return b.byteLength === p.size ? new Uint8Array(b) : null;
    }).catch(function () { return null; });
  }

  // Each file inside the package's bounds and named by plain names below the
  // game's folder (no '..', nothing absolute), so that nothing is written
  // outside it.
  function unpack(p, bytes) {
    p.files.forEach(function (f) {
      if (!/^[\w-][\w.-]*(\/[\w-][\w.-]*)*$/.test(f.path) ||
          !(f.start >= 0 && f.start <= f.end && f.end <= bytes.length)) return;
      var at = f.path.lastIndexOf('/'), folder = at < 0 ? '/' : '/' + f.path.slice(0, at);
      if (at >= 0) Module.FS.mkdirTree(folder);
      try { Module.FS.unlink('/' + f.path); } catch (e) { /* not there yet */ }
      Module.FS.createDataFile(folder, f.path.slice(at + 1), bytes.subarray(f.start, f.end), true, true, true);
    });
  }

  // A package as levels.json lists it, with how far it has come.
  function entry(p, name, onin) {
    return { name: name, level: p.level, data: p.data, bytes: p.bytes, size: p.size, sha256: p.sha256,
             files: p.files, got: 0, state: 'waiting', fetching: null, onin: onin };
  }

  // The package's files' bytes once it has come whole and checked, or null.
  function arrive(p) {
    if (!p.fetching) {
      p.state = 'coming';
      p.fetching = download(p).then(function (bytes) {
        p.arrived = true;
        return intact(p, bytes).then(function (ok) { return ok ? inflate(p, bytes) : null; });
      });
    }
    return p.fetching;
  }

  function fetchone(p) {
    if (!p.placed) {
      p.placed = arrive(p).then(function (files) {
        var ok = files !== null;
        if (ok) unpack(p, files);
        p.state = ok ? 'in' : 'failed';
        if (!ok) console.error('levels: ' + p.data + ' did not arrive whole');
        if (p === asked) show();
        if (p.onin) p.onin(p);
      });
    }
    return p.placed;
  }

  function list() {
    if (!listing) {
      listing = fetch('levels.json').then(function (r) {
        if (!r.ok) throw new Error('levels.json: ' + r.status);
        return r.json();
      });
    }
    return listing;
  }

  // The list and start-up's package are fetched from the moment this script
  // runs, beside the game's code.
  list().then(function (l) {
    packages = l.packages.map(function (p) {
      var q = entry(p, p.level.replace(/\.lvl$/, ''), null);
      bylevel[p.level] = q;
      return q;
    });
    first = entry(l.start, 'the game', null);
    arrive(first);
  }).catch(function () { /* said by startup() and start() */ });

  // Puts start-up's files in place; call it from the game's preRun, holding a
  // run dependency until it settles. A package that does not come leaves the
  // files missing, which the game reports as it starts.
  function startup(module, page) {
    window.Module = module;
    status = page.status || null;
    return list().then(function () {
      if (!first) throw new Error('levels.json lists no start-up package');
      asked = first;
      show();
      return fetchone(first);
    }).catch(function (e) {
      console.error('levels: ' + e.message);
    }).then(function () { asked = null; });
  }

  // Answers the game: a level whose package is in, or has failed, or that is
  // no package's, is ready. One asked for out of turn is fetched at once.
  function levelready(name) {
    if (!listed) return false;
    var p = bylevel[name.replace(/^.*\//, '')];
    if (!p || p.state === 'in' || p.state === 'failed') {
      if (asked && p === asked) { show(); asked = null; }
      return true;
    }
    if (asked !== p) { asked = p; show(); }
    fetchone(p);
    return false;
  }

  // Fetches every level's package in turn. onpackage(p) is called
  // as each is in (p.level, p.state 'in' or 'failed'), onall() after the last.
  function start(module, page) {
    window.Module = module;
    status = page.status || null;
    module.levelready = levelready;
    return list().then(function () {
      packages.forEach(function (p) { p.onin = page.onpackage; });
      listed = true;
      return packages.reduce(function (chain, p) {
        return chain.then(function () { return fetchone(p); });
      }, Promise.resolve());
    }).catch(function (e) {
      // No list: every level counts as failed, the game's loader says which.
      console.error('levels: ' + e.message);
      packages.forEach(function (p) { if (p.state !== 'in') p.state = 'failed'; });
      module.levelready = function () { return true; };
    }).then(function () {
      if (page.onall) page.onall(packages.map(function (p) { return p.data; }));
    });
  }

  // Bytes of packages on their way, which the browser's resource timing
  // counts only once a response is whole.
  function coming() {
    return (first ? [first] : []).concat(packages).reduce(function (n, p) {
      return n + (p.fetching && !p.arrived ? p.got : 0);
    }, 0);
  }

  window.twinfoldLevelFiles = { startup: startup, start: start, coming: coming };
})();
