#!/usr/bin/env bash
# Fails when an include crosses the layers the build is made of:
#   1. a file in common/ includes a project header outside common/;
#   2. a file of the model library (vantora_model) includes a header of the
#      viewer's or the updater's library (or of the tree view both show), or
#      a QtWidgets header;
#   3. view/frmMain.h is included by anything but the window's own sources
#      (view/frmMain.cpp and the frmMain_*.cpp files), the entry that makes
#      the window (shell/mdlMain.cpp), tests, benchmarks and fuzz targets.
# Which file belongs to which library is read from the CMakeLists files.
# Usage: check-layers.sh [SOURCE_DIR]   (default: the repository)
set -euo pipefail
ROOT=${1:-$(cd "$(dirname "$0")/.." && pwd)}
exec python3 - "$ROOT" <<'PY'
import os, re, sys

root = sys.argv[1]
skip = {'build', '.git', 'tests', 'bench', 'fuzz', 'tools'}

def rel(p):
    return os.path.relpath(p, root).replace(os.sep, '/')

# Sources of each library, from target_sources(<lib> ... ) in every CMakeLists.txt.
libs = {}
for d, dirs, files in os.walk(root):
    dirs[:] = [x for x in dirs if not x.startswith('build') and x != '.git']
    if 'CMakeLists.txt' not in files:
        continue
    text = open(os.path.join(d, 'CMakeLists.txt'), encoding='utf-8').read()
    for lib, body in re.findall(r'target_sources\(\s*(\w+)([^)]*)\)', text):
        for f in body.split():
            if f in ('PRIVATE', 'PUBLIC', 'INTERFACE'):
                continue
            libs.setdefault(lib, set()).add(rel(os.path.join(d, f)))

widgets_dir = None
for cand in ('/usr/include/x86_64-linux-gnu/qt6/QtWidgets', '/usr/include/qt6/QtWidgets'):
    if os.path.isdir(cand):
        widgets_dir = cand
        break
widget_headers = set(os.listdir(widgets_dir)) if widgets_dir else set()

def is_widgets(header):
    if header.startswith('QtWidgets/') or header == 'QtWidgets':
        return True
    return header in widget_headers

model = libs.get('vantora_model', set())
upper = libs.get('vantora_viewer', set()) | libs.get('vantora_updater', set()) | libs.get('vantora_tree_view', set())
upper_headers = {f for f in upper if f.endswith('.h')}

failures = []
include = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
for d, dirs, files in os.walk(root):
    dirs[:] = [x for x in dirs if not x.startswith('build') and x != '.git']
    for name in files:
        if not name.endswith(('.cpp', '.h')):
            continue
        path = rel(os.path.join(d, name))
        first = path.split('/')[0]
        in_tests = first in skip or first.startswith('build')
        for n, line in enumerate(open(os.path.join(d, name), encoding='utf-8', errors='replace'), 1):
            m = include.match(line)
            if not m:
                continue
            quoted, header = m.group(1) == '"', m.group(2)
            where = f'{path}:{n}: #include {m.group(1)}{header}{">" if not quoted else chr(34)}'
            if path.startswith('common/') and quoted and not header.startswith('common/'):
                failures.append(f'{where}\n  rule: common/ includes only common/ headers')
            if path in model:
                if quoted and header in upper_headers:
                    failures.append(f'{where}\n  rule: the model library includes no viewer or updater header')
                if not quoted and is_widgets(header):
                    failures.append(f'{where}\n  rule: the model library includes no QtWidgets header')
            if quoted and header == 'view/frmMain.h' and not in_tests:
                own = path == 'view/frmMain.cpp' or re.search(r'/frmMain_\w+\.cpp$', path)
                if not own and path != 'shell/mdlMain.cpp':
                    failures.append(f'{where}\n  rule: only the window\'s own sources, the entry and tests include view/frmMain.h')

if not model or not upper:
    failures.append('no vantora_model, vantora_viewer or vantora_updater sources found in the CMakeLists files')
for f in failures:
    print(f)
if failures:
    print(f'layers: {len(failures)} include(s) cross a layer')
    sys.exit(1)
print(f'layers: {len(model)} model, {len(upper)} window files checked, no include crosses a layer')
PY
