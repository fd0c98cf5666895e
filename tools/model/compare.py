#!/usr/bin/env python3
"""Plays replays through tolvane-replay and through the independent model and compares their
traces line by line. Reports, per replay, how many frames agreed and, at the first frame that
differs, every differing field and object.

    compare.py --tool PATH/tolvane-replay [--until F] [--every K] [--no-objects] [--verify]
               REPLAY...

Exit status: 0 every replay agrees, 1 some differ, 2 a program failed or a file is unusable.
"""
import argparse
import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
MODEL = os.path.join(HERE, 'tolvane_model.py')


def trace_args(until, every, objects):
    args = ['--every', str(every)]
    if objects:
        args.append('--objects')
    if until is not None:
        args += ['--until', str(until)]
    return args


def describe_difference(a, b, limit=40):
    """Human-readable list of what differs between two trace records (C++ a, model b)."""
    out = []
    try:
        ja, jb = json.loads(a), json.loads(b)
    except ValueError:
        return ['unparsable line:', '  C++:   ' + a[:300], '  model: ' + b[:300]]
    for key in ja:
        if key == 'objects':
            continue
        if ja.get(key) != jb.get(key):
            out.append('  %s: C++ %s, model %s' % (key, ja.get(key), jb.get(key)))
    for key in jb:
        if key not in ja:
            out.append('  %s: only the model has it (%s)' % (key, jb[key]))
    oa = {o[0]: o for o in ja.get('objects', [])}
    ob = {o[0]: o for o in jb.get('objects', [])}
    names = ['slot', 'kind', 'x', 'y', 'phase', 'timer', 'paramA', 'paramB', 'paramC']
    for slot in sorted(set(oa) | set(ob)):
        x, y = oa.get(slot), ob.get(slot)
        if x == y:
            continue
        if x is None:
            out.append('  object slot %d: only in the model %s' % (slot, y))
        elif y is None:
            out.append('  object slot %d: only in C++ %s' % (slot, x))
        else:
            fields = ['%s C++ %s / model %s' % (names[k], x[k], y[k]) for k in range(len(names)) if x[k] != y[k]]
            out.append('  object slot %d (kind %s): %s' % (slot, x[1], '; '.join(fields)))
    if not out:
        out = ['  the same values written differently:', '  C++:   ' + a[:300], '  model: ' + b[:300]]
    if len(out) > limit:
        more = len(out) - limit
        out = out[:limit] + ['  ... and %d more differences' % more]
    return out


def compare_replay(tool, replay, until, every, objects, verify):
    targs = trace_args(until, every, objects)
    cpp = subprocess.Popen([tool, 'trace', replay] + targs, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, text=True)
    mod = subprocess.Popen([sys.executable, MODEL, 'trace', replay] + targs, stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, text=True)
    agreed = 0
    status = 0
    last_frame = None
    while True:
        a = cpp.stdout.readline()
        b = mod.stdout.readline()
        if not a and not b:
            break
        if a != b:
            if not a or not b:
                stopped = mod if a else cpp
                rc = stopped.wait()
                print('%s: after %d agreeing lines %s stopped (status %d: %s) while the other goes on '
                      'at frame %s' % (replay, agreed, 'the model' if a else 'C++', rc,
                                       stopped.stderr.read().strip()[-300:], json.loads(a or b).get('frame')))
            else:
                frame = json.loads(a).get('frame')
                print('%s: first difference at frame %s (%d lines agreed before it)' % (replay, frame, agreed))
                for line in describe_difference(a.rstrip('\n'), b.rstrip('\n')):
                    print(line)
            status = 1
            break
        agreed += 1
        last_frame = json.loads(a[:a.index(',')] + '}').get('frame')
    for p, name in ((cpp, 'tolvane-replay'), (mod, 'model')):
        p.stdout.close()
        if status:
            p.kill()
        rc = p.wait()
        err = p.stderr.read()
        p.stderr.close()
        if not status and rc != 0:
            print('%s: %s failed with status %d: %s' % (replay, name, rc, err.strip()))
            return 2
    if status == 0:
        print('%s: %d traced frames agree (frames 0..%s, every %d%s)' % (
            replay, agreed, last_frame, every, ', with objects' if objects else ''))
    if verify and status == 0:
        a = subprocess.run([tool, 'verify', replay], capture_output=True, text=True)
        b = subprocess.run([sys.executable, MODEL, 'verify', replay], capture_output=True, text=True)
        if a.returncode or b.returncode:
            print('%s: verify failed: C++ %d %s / model %d %s' % (
                replay, a.returncode, a.stderr.strip(), b.returncode, b.stderr.strip()))
            return 2
        if a.stdout != b.stdout:
            print('%s: verify differs:\n  C++:   %s  model: %s' % (replay, a.stdout, b.stdout))
            return 1
        print('%s: verify agrees: %s' % (replay, a.stdout.strip()))
    return status


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument('--tool', required=True, help='path of tolvane-replay')
    ap.add_argument('--until', type=int, default=None, help='last frame to compare (default: the end of the game)')
    ap.add_argument('--every', type=int, default=1)
    ap.add_argument('--no-objects', action='store_true', help='compare without the object lists')
    ap.add_argument('--verify', action='store_true', help='also compare the verify lines')
    ap.add_argument('replays', nargs='+')
    args = ap.parse_args()
    worst = 0
    for replay in args.replays:
        if not os.path.isfile(replay):
            print('%s: no such replay file' % replay)
            worst = 2
            continue
        rc = compare_replay(args.tool, replay, args.until, args.every, not args.no_objects, args.verify)
        worst = max(worst, rc)
    return worst


if __name__ == '__main__':
    sys.exit(main())
