#!/usr/bin/env python3
"""The levels' packages for the browser build (web/CMakeLists.txt).

Usage: web/levelpacks.py LEVELTOOL GAMEDIR OUTDIR FIRST [PLAYFILE...]

Each level of GAMEDIR becomes OUTDIR/LEVEL.data: its level file and the
pictures it names (every file whose name starts with a picture's name and a
dot), one after the other. OUTDIR/levels.json lists the packages in the order
the game reaches them, from FIRST along each level's next level (the levels
no chain reaches follow by name), with each file's place in its package and
the package's size and SHA-256, which the page checks (web/levels.js). A
package is stored deflated (gzip, the strongest level), which the page
inflates as it arrives: the hero's sheet and the play music, as drawn and as
encoded, shrink by a third and more, and the pictures keep their bytes. The
next level and the picture names come from LEVELTOOL (twinfold-level json),
the game's own loader. A file that several levels name goes in the package of
the first of them in that order: the page fetches in that order, so the file
is there before any level that needs it. PLAYFILEs (what play opens and the
title does not: the play music, the hero's sheet) go in FIRST's package, as
New game opens them. Every other file of GAMEDIR, its folders included (the
menu's pictures and music, the sounds), is what start-up opens: it becomes
OUTDIR/twinfold.data, deflated the same way and listed in levels.json as
"start", which the page has in place before the game's main() runs. A package
whose bytes come out the same is not written again, so nothing downstream is
made again.
Exit status: 0 written; 1 a level, a file or the tool failed; 2 a wrong
command line.
"""
import gzip
import hashlib
import json
import os
import subprocess
import sys


def level(tool, path):
    """The level as the game's loader reads it: next level, picture names."""
    out = subprocess.run([tool, 'json', path], capture_output=True, text=True)
    if out.returncode != 0:
        raise RuntimeError(out.stderr.strip() or '%s: twinfold-level failed' % path)
    return json.loads(out.stdout)


def chain(tool, game, first):
    """Every level of the folder, in the order the game reaches them."""
    names = sorted(f for f in os.listdir(game) if f.endswith('.lvl'))
    read = {n: level(tool, os.path.join(game, n)) for n in names}
    order, at = [], first
    while at in read and at not in order:
        order.append(at)
        at = read[at]['nextlevel']
    return order + [n for n in names if n not in order], read


def writeifchanged(path, data, touch=False):
    """touch: the same bytes get a new time, for the build's rule that made it."""
    try:
        with open(path, 'rb') as f:
            if f.read() == data:
                if touch:
                    os.utime(path)
                return
    except OSError:
        pass
    with open(path + '.part', 'wb') as f:
        f.write(data)
    os.replace(path + '.part', path)


def package(game, outdir, pack, names):
    """Writes the files one after the other, deflated, as OUTDIR/PACK; returns
    its entry for levels.json."""
    data, listed = bytearray(), []
    for f in names:
        with open(os.path.join(game, f), 'rb') as fp:
            b = fp.read()
        listed.append({'path': f, 'start': len(data), 'end': len(data) + len(b)})
        data += b
    packed = gzip.compress(bytes(data), 9, mtime=0)
    writeifchanged(os.path.join(outdir, pack), packed)
    return {'data': pack, 'bytes': len(packed), 'size': len(data),
            'sha256': hashlib.sha256(packed).hexdigest(), 'files': listed}


def main(argv):
    if len(argv) == 2 and argv[1] in ('--help', '-h'):
        print(__doc__.strip())
        return 0
    if len(argv) < 5 or any(a.startswith('-') for a in argv[1:]):
        sys.stderr.write(__doc__.split('\n\n')[1] + '\n')
        return 2
    tool, game, outdir, first, playfiles = argv[1], argv[2], argv[3], argv[4], argv[5:]
    try:
        order, read = chain(tool, game, first)
        if first not in order:
            raise RuntimeError('%s: no such level in %s' % (first, game))
        files = sorted(os.listdir(game))
        claimed, packages = set(), []
        for name in order:
            lv = read[name]
            prefixes = [p + '.' for p in (lv['background'], lv['foreground']) if p]
            mine = [name] + [f for f in files if f != name and any(f.startswith(p) for p in prefixes)]
            if name == first:
                mine += playfiles
            mine = [f for f in mine if f not in claimed]
            claimed.update(mine)
            packages.append(dict(level=name, **package(game, outdir, name[:-len('.lvl')] + '.data', mine)))
        everything = sorted(os.path.relpath(os.path.join(d, f), game).replace(os.sep, '/')
                            for d, _, names in os.walk(game) for f in names)
        start = package(game, outdir, 'twinfold.data', [f for f in everything if f not in claimed])
        text = json.dumps({'start': start, 'packages': packages}, indent=1) + '\n'
        writeifchanged(os.path.join(outdir, 'levels.json'), text.encode(), touch=True)
    except (OSError, RuntimeError, ValueError, KeyError) as e:
        sys.stderr.write('levelpacks: %s\n' % e)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
