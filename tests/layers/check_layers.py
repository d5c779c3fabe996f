#!/usr/bin/env python3
"""Every #include of runtime/ and app/ goes to its own folder or a lower layer.

Usage: check_layers.py ROOT GROUPS   (GROUPS: "core,text,gfx files,...", lowest first)
       check_layers.py --planted GROUPS   (the check must catch climbs planted in a scratch tree)
"""
import os
import re
import sys
import tempfile

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def ranks(groups):
    return {layer: rank for rank, group in enumerate(groups.split(',')) for layer in group.split()}


def folder_layer(rel):
    parts = rel.split('/')
    if parts[0] == 'app':
        return 'app'
    return parts[1] if parts[0] == 'runtime' and len(parts) > 2 else None


def violations(root, groups):
    rank = ranks(groups)
    found = []
    for top in ('runtime', 'app'):
        for dirpath, _, names in os.walk(os.path.join(root, top)):
            for name in sorted(names):
                if not name.endswith(('.cpp', '.h')):
                    continue
                path = os.path.join(dirpath, name)
                rel = os.path.relpath(path, root)
                own = folder_layer(rel)
                if own not in rank:
                    found.append(f'{rel}:1: folder is not a layer')
                    continue
                with open(path, encoding='utf-8', errors='replace') as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m:
                            continue
                        target = m.group(1)
                        if '..' in target.split('/'):
                            found.append(f'{rel}:{number}: includes "{target}" by a relative path')
                            continue
                        if os.path.exists(os.path.join(dirpath, target)):
                            continue  # beside the file: its own folder
                        used = folder_layer(target)
                        if used is None:
                            continue  # another library's header
                        if used not in rank:
                            found.append(f'{rel}:{number}: includes "{target}" of no layer')
                        elif used != own and rank[used] >= rank[own]:
                            kind = 'a sibling' if rank[used] == rank[own] else 'a higher'
                            found.append(f'{rel}:{number}: includes "{target}" of {kind} layer '
                                         f'({used} from {own})')
    return found


def planted(groups):
    """Climbs written into a scratch tree must each be named with file and line."""
    cases = {
        'runtime/core/error.h': '#include "runtime/display/display.h"\n',
        'runtime/gfx/image.cpp': '// image\n#include "runtime/files/files.h"\n',
        'runtime/text/ok.cpp': '#include "runtime/core/error.h"\n#include "runtime/text/ok.h"\n',
        'app/sim.cpp': '#include "runtime/frame/startup.h"\n#include "../runtime/core/x.h"\n',
    }
    expected = ['app/sim.cpp:2: includes "../runtime/core/x.h" by a relative path',
                'runtime/core/error.h:1: includes "runtime/display/display.h" of a higher layer '
                '(display from core)',
                'runtime/gfx/image.cpp:2: includes "runtime/files/files.h" of a sibling layer '
                '(files from gfx)']
    with tempfile.TemporaryDirectory() as root:
        for rel, text in cases.items():
            os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
            with open(os.path.join(root, rel), 'w') as f:
                f.write(text)
        got = sorted(violations(root, groups))
    if got != expected:
        print('planted climbs were not reported as expected:\n  ' + '\n  '.join(got))
        return 1
    print(f'all {len(expected)} planted climbs reported')
    return 0


def main(argv):
    if argv[1] == '--planted':
        return planted(argv[2])
    found = violations(argv[1], argv[2])
    for v in found:
        print(v)
    if found:
        print(f'{len(found)} include(s) break the layer order {argv[2]!r}')
        return 1
    print(f'no include climbs the layer order {argv[2]!r}')
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
