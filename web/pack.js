// Level packs on the page: a pack picked with the file control, dropped on
// the page or named in the address (?pack=URL, of this site only) is handed
// to the game (web/packopen.cpp), whose checking reader takes it or refuses
// it; New game then plays the pack. The pack's title and author, or the
// reader's reasons, show in #packbar, with a button for the game's own
// levels. window.twinfoldPack tells the tests what the last pack came to.
'use strict';
(function () {
  var bar = document.getElementById('packbar');
  if (!bar) return;
  var label = document.createElement('label');
  label.textContent = 'Open a level pack: ';
  var picker = document.createElement('input');
  picker.type = 'file';
  picker.id = 'packfile';
  picker.accept = '.twinpack,.zip';
  label.appendChild(picker);
  var shown = document.createElement('span');
  shown.id = 'packstate';
  shown.setAttribute('role', 'status');
  var own = document.createElement('button');
  own.type = 'button';
  own.id = 'ownlevels';
  own.textContent = "Play the game's own levels";
  own.hidden = true;
  bar.appendChild(label);
  bar.appendChild(shown);
  bar.appendChild(own);

  // The game takes a pack once its levels are in: the pack's folder links
  // to them.
  function ready() {
    return new Promise(function (resolve) {
      (function poll() {
        if (window.twinfoldLevels && window.Module && Module.ccall) resolve();
        else setTimeout(poll, 50);
      })();
    });
  }

  function tell(text, refused) {
    shown.textContent = text;
    shown.className = refused ? 'refused' : '';
  }

  // Hands the bytes to the game under the name refusals give them.
  function open(bytes, name) {
    return ready().then(function () {
      var lines;
      if (window.twinfoldEnded) {
        lines = ['refused', name + ': the game has ended; Play again first'];
      } else if (bytes.byteLength > Module.ccall('twinfold_packmaxbytes', 'number', [], [])) {
        lines = ['refused', name + ': larger than any pack may be'];
      } else {
        var path = '/tmp/twinfold-upload';
        Module.FS.writeFile(path, new Uint8Array(bytes));
        lines = Module.ccall('twinfold_openpack', 'string', ['string', 'string'],
                             [path, name]).split('\n');
      }
      if (lines[0] === 'ok') {
        window.twinfoldPack = { ok: true, title: lines[1], author: lines[2] };
        tell('Playing "' + lines[1] + '" by ' + lines[2] + ': New game starts its first level.');
        own.hidden = false;
      } else {
        window.twinfoldPack = { ok: false, refusals: lines.slice(1) };
        tell('Not opened: ' + lines.slice(1).join(' '), true);
      }
    });
  }

  function openfile(file) {
    if (!file) return;
    file.arrayBuffer().then(function (bytes) { return open(bytes, file.name); },
                            function () { tell('Not opened: ' + file.name + ': cannot be read', true); });
  }

  // The control gives the focus back, so that the space bar of a shift
  // never opens the picker again.
  picker.addEventListener('change', function () {
    openfile(picker.files[0]);
    picker.value = '';
    picker.blur();
  });
  own.addEventListener('click', function () {
    own.blur();
    ready().then(function () {
      Module.ccall('twinfold_ownlevels', null, [], []);
      window.twinfoldPack = { ok: false, own: true };
      tell("The game's own levels: New game starts them.");
      own.hidden = true;
    });
  });
  document.addEventListener('dragover', function (e) { e.preventDefault(); });
  document.addEventListener('drop', function (e) {
    e.preventDefault();
    if (e.dataTransfer && e.dataTransfer.files.length) openfile(e.dataTransfer.files[0]);
  });

  // ?pack=URL: fetched only from this site, whose packs a link may name. A
  // site twinfold-pack --web writes names its pack on the bar instead.
  var named = new URLSearchParams(location.search).get('pack') || bar.dataset.pack;
  if (named) {
    var url;
    try { url = new URL(named, location.href); } catch (e) { url = null; }
    var name = named.split('/').pop() || named;
    if (!url || url.origin !== location.origin) {
      window.twinfoldPack = { ok: false, refusals: [name + ': not a pack of this site'] };
      tell('Not opened: ' + name + ': not a pack of this site', true);
    } else {
      tell('Loading ' + name + '...');
      fetch(url.href).then(function (r) {
        if (!r.ok) throw new Error(r.status);
        return r.arrayBuffer();
      }).then(function (bytes) { return open(bytes, name); }, function () {
        window.twinfoldPack = { ok: false, refusals: [name + ': cannot be fetched'] };
        tell('Not opened: ' + name + ': cannot be fetched', true);
      });
    }
  }
})();
