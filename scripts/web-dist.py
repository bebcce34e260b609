#!/usr/bin/env python3
"""The browser build as one zip for a static host (make web-dist).

Usage: scripts/web-dist.py WEBBUILD OUT.zip

Every file the page is made of, all at the zip's root, where the service
worker (sw.js) must be so that its scope is the whole page: the page's own
files (*.html, *.js, *.css, *.json, *.png, *.svg), the engine (twinfold.js,
twinfold.wasm) and the data (*.data). The bench's drawing program
(twinfold_frames.*) stays out. The zip is read back and checked to hold every
file index.html and sw.js name, and every level package levels.json lists.
Exit status: 0 written; 1 a file the page loads is missing from the build;
2 a wrong command line.
"""
import json
import os
import re
import sys
import zipfile

PAGE = ('.html', '.js', '.css', '.json', '.png', '.svg', '.wasm', '.data')
# What the page cannot start without, whatever index.html says.
NEEDED = ['index.html', 'sw.js', 'twinfold.js', 'twinfold.wasm', 'twinfold.data',
          'levels.js', 'levels.json']


def named(page, worker):
    """The build's own files that index.html and sw.js load, by their names."""
    names = set(re.findall(r'(?:src|href)\s*=\s*["\']([^"\':]+)["\']', page))
    names |= set(re.findall(r"['\"]([\w.-]+\.[a-z]+)['\"]", worker))
    return {n for n in names if '/' not in n}


def main(argv):
    if len(argv) == 2 and argv[1] in ('--help', '-h'):
        print(__doc__.strip())
        return 0
    if len(argv) != 3 or argv[1].startswith('-'):
        sys.stderr.write(__doc__.split('\n\n')[1] + '\n')
        return 2
    build, out = argv[1], argv[2]
    files = sorted(f for f in os.listdir(build)
                   if f.endswith(PAGE) and not f.startswith('twinfold_frames.')
                   and os.path.isfile(os.path.join(build, f)))
    try:
        with open(os.path.join(build, 'index.html'), encoding='utf-8') as f:
            page = f.read()
        with open(os.path.join(build, 'sw.js'), encoding='utf-8') as f:
            worker = f.read()
        with open(os.path.join(build, 'levels.json'), encoding='utf-8') as f:
            packages = {p['data'] for p in json.load(f)['packages']}
    except (ValueError, KeyError, TypeError) as e:
        sys.stderr.write('web-dist: %s: levels.json: %s\n' % (build, e))
        return 1
    except OSError as e:
        sys.stderr.write('web-dist: %s: %s (make web first)\n' % (e.filename, e.strerror))
        return 1
    missing = sorted((set(NEEDED) | named(page, worker) | packages) - set(files))
    if missing:
        sys.stderr.write('web-dist: %s: not in the build: %s\n' % (build, ' '.join(missing)))
        return 1
    part = out + '.part'
    with zipfile.ZipFile(part, 'w', zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        for f in files:
            z.write(os.path.join(build, f), f)
    with zipfile.ZipFile(part) as z:
        bad = z.testzip()
        if bad or sorted(z.namelist()) != files:
            sys.stderr.write('web-dist: %s: %s did not read back\n' % (part, bad or 'the list'))
            return 1
    os.replace(part, out)
    size = os.path.getsize(out)
    print('web-dist: %s: %d files, %.1f MB' % (out, len(files), size / 1e6))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
