// Touch controls for the page (index.html): five buttons over the stage that
// press the game's own keys, taps on the picture that click where they land,
// and a second finger that drags a shift as the mouse does. Everything reaches
// the game as the key and mouse events the page's keyboard and mouse give, so
// the game's key and mouse tables see nothing new.
'use strict';
(function () {
  // Each control and the key it holds (the keyCode the browser's SDL reads).
  var CONTROLS = [
    { name: 'left', key: 37, label: '\u25c0' },
    { name: 'right', key: 39, label: '\u25b6' },
    { name: 'jump', key: 38, label: '\u25b2' },
    { name: 'shift', key: 32, label: '\u21c4' },
    { name: 'menu', key: 27, label: '\u2630' }
  ];
  var PICTUREW = 1024;  // the canvas's own width in pixels
  var PADPOLLMS = 500;                  // how often a pad in use is looked for

  var stage = document.getElementById('stage');
  var canvas = document.getElementById('canvas');
  var touchdevice = window.matchMedia('(hover: none) and (pointer: coarse)');
  var buttons = {};   // control name -> its button
  var held = {};      // control name -> fingers on it
  var fingers = {};   // touch identifier -> { control } or { drag: {x, y} }
  var padstamps = ''; // the pads' timestamps at the last look

  function key(type, code) {
    var e = new KeyboardEvent(type, { bubbles: true, cancelable: true });
    Object.defineProperty(e, 'keyCode', { get: function () { return code; } });
    Object.defineProperty(e, 'which', { get: function () { return code; } });
    document.dispatchEvent(e);
  }

  function mouse(type, clientx, clienty, movex, movey) {
    canvas.dispatchEvent(new MouseEvent(type, {
      bubbles: true, cancelable: true, button: 0, clientX: clientx, clientY: clienty,
      movementX: movex || 0, movementY: movey || 0 }));
  }

  // A control's key goes down with its first finger and up with its last, so
  // a finger sliding from one control to the next never drops the key between.
  function press(name) {
    held[name] = (held[name] || 0) + 1;
    if (held[name] === 1) {
      buttons[name].classList.add('held');
      key('keydown', controlof(name).key);
    }
  }
  function release(name) {
    if (!held[name]) return;
    held[name]--;
    if (held[name] === 0) {
      buttons[name].classList.remove('held');
      key('keyup', controlof(name).key);
    }
  }
  function controlof(name) {
    return CONTROLS.filter(function (c) { return c.name === name; })[0];
  }
  function controlat(x, y) {
    var e = document.elementFromPoint(x, y);
    var b = e && e.closest ? e.closest('[data-control]') : null;
    return b ? b.getAttribute('data-control') : null;
  }

  // A drag is sent once a frame, as one pointer motion from the picture's
  // centre, where the game puts the pointer back every frame of a shift: the
  // finger's way on the picture since the last frame, in the canvas's pixels,
  // so it reaches as far as the mouse's drag (32 pixels each way). Only even
  // steps are sent, since the game halves them; the rest waits for the next.
  var dragging = false;
  function dragframe() {
    var any = false;
    var r = canvas.getBoundingClientRect();
    var scale = PICTUREW / r.width;
    Object.keys(fingers).forEach(function (id) {
      var d = fingers[id].drag;
      if (!d) return;
      any = true;
      var dx = 2 * Math.trunc((d.x - d.sentx) * scale / 2);
      var dy = 2 * Math.trunc((d.y - d.senty) * scale / 2);
      if (dx === 0 && dy === 0) return;
      d.sentx += dx / scale;
      d.senty += dy / scale;
      mouse('mousemove', r.left + r.width / 2 + dx / scale, r.top + r.height / 2 + dy / scale, dx, dy);
    });
    dragging = any;
    if (any) requestAnimationFrame(dragframe);
  }

  // A tap on the picture is a click there: on the title, the menu and the
  // full-screen pages it chooses what it lands on; in play a press and its
  // release in the same frame hold nothing.
  function tap(t) {
    mouse('mousemove', t.clientX, t.clientY);
    mouse('mousedown', t.clientX, t.clientY);
    mouse('mouseup', t.clientX, t.clientY);
  }

  // The notice's button (Play again) is the browser's to press.
  function ours(e) {
    return !(e.target.closest && e.target.closest('#notice'));
  }

  function touchstart(e) {
    if (!ours(e)) return;
    showcontrols();
    Array.prototype.forEach.call(e.changedTouches, function (t) {
      var name = controlat(t.clientX, t.clientY);
      if (name) {
        fingers[t.identifier] = { control: name };
        press(name);
      } else if (held.shift) {
        fingers[t.identifier] = { drag: { x: t.clientX, y: t.clientY, sentx: t.clientX, senty: t.clientY } };
        if (!dragging) {
          dragging = true;
          requestAnimationFrame(dragframe);
        }
      } else if (t.target === canvas) {
        fingers[t.identifier] = {};
        tap(t);
      }
    });
    // The browser's own handling (a scroll, a zoom, the mouse events it makes
    // of a tap, the game's SDL taking a touch for its mouse) is left out.
    e.preventDefault();
    e.stopPropagation();
  }

  function touchmove(e) {
    if (!ours(e)) return;
    Array.prototype.forEach.call(e.changedTouches, function (t) {
      var f = fingers[t.identifier];
      if (!f) return;
      if (f.drag) {
        f.drag.x = t.clientX;
        f.drag.y = t.clientY;
      } else if (f.control) {
        // A finger slid onto another control moves to it; off every control
        // it keeps the one it is on, until it is lifted.
        var name = controlat(t.clientX, t.clientY);
        if (name && name !== f.control) {
          press(name);
          release(f.control);
          f.control = name;
        }
      }
    });
    e.preventDefault();
    e.stopPropagation();
  }

  // Wherever a finger is lifted, its control lets go.
  function touchend(e) {
    if (!ours(e)) return;
    Array.prototype.forEach.call(e.changedTouches, function (t) {
      var f = fingers[t.identifier];
      delete fingers[t.identifier];
      if (f && f.control) release(f.control);
    });
    // A lifted finger is what a browser counts as the player's gesture: the
    // sound may start here if the touch's start was too early for it.
    if (typeof SDL === 'object' && SDL.audioContext && SDL.audioContext.state === 'suspended') {
      SDL.audioContext.resume();
    }
    e.preventDefault();
    e.stopPropagation();
  }

  // The page lost the focus: the game's SDL has let every key go by itself,
  // so the controls forget their fingers without a second release.
  function letgo() {
    Object.keys(held).forEach(function (name) {
      held[name] = 0;
      buttons[name].classList.remove('held');
    });
    fingers = {};
  }

  // The controls show on a device whose pointer is a finger, until a key or a
  // pad is used, and again at the next touch.
  function showcontrols() {
    document.body.classList.toggle('touch', touchdevice.matches);
    document.body.classList.remove('touchaway');
  }
  function hidecontrols() {
    if (!document.body.classList.contains('touchaway')) document.body.classList.add('touchaway');
  }
  function padinuse() {
    if (!document.body.classList.contains('touch') || !navigator.getGamepads) return;
    var stamps = Array.prototype.map.call(navigator.getGamepads() || [], function (p) {
      return p ? p.timestamp : '';
    }).join(',');
    if (padstamps && stamps !== padstamps && /\d/.test(stamps)) hidecontrols();
    padstamps = stamps;
  }

  function build() {
    var box = document.createElement('div');
    box.id = 'touchcontrols';
    CONTROLS.forEach(function (c) {
      var b = document.createElement('button');
      b.type = 'button';
      b.setAttribute('data-control', c.name);
      b.setAttribute('aria-label', c.name);
      b.className = 'touch-' + c.name;
      b.textContent = c.label;
      box.appendChild(b);
      buttons[c.name] = b;
    });
    stage.appendChild(box);
  }

  build();
  showcontrols();
  touchdevice.addEventListener('change', showcontrols);
  ['touchstart', 'touchmove', 'touchend', 'touchcancel'].forEach(function (type) {
    var handler = type === 'touchstart' ? touchstart : type === 'touchmove' ? touchmove : touchend;
    stage.addEventListener(type, handler, { capture: true, passive: false });
  });
  document.addEventListener('keydown', function (e) {
    if (e.isTrusted) hidecontrols();
  }, true);
  window.addEventListener('blur', letgo);
  document.addEventListener('visibilitychange', function () {
    if (document.hidden) letgo();
  });
  setInterval(padinuse, PADPOLLMS);
})();
