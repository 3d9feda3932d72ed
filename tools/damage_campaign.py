#!/usr/bin/env python3
"""Damages real GIFs and runs `lumatrim-cli reduce` on each, by default and with --best.

Each input is one of the real files (tests/data/real and any folders given with --corpus) with one
to three damages chosen by a seeded random generator: bits flipped, a cut, bytes inserted or
removed, or a field of the screen, an image descriptor, a graphic control block or the LZW
minimum code size set to an edge value (0, 1, 255, 32767, 32768, 65535...). The same seed makes
the same inputs. A run counts as
  - a crash: killed by a signal, an exit code other than 0 and 1, or a sanitizer's report;
  - too slow: still running after --timeout seconds;
  - over the memory budget: a peak resident size (GNU time %M) above --max-memory MiB (not
    checked with --sanitized, whose shadow memory is no part of the program's).
The slowest run and the runs over 2 s of inputs under 1 MB are reported too.
Every input that shows one is copied into OUT/findings. Exits 1 when there is any.

  tools/damage_campaign.py --cli build/release/cli/lumatrim-cli --out /tmp/campaign
"""
import argparse
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

EDGE_16 = [0, 1, 2, 255, 256, 32767, 32768, 65534, 65535]
EDGE_8 = [0, 1, 7, 8, 11, 12, 127, 128, 254, 255]


def blocks(data):
    """Offsets of the fields a header edit may set: (offset, size in bytes, kind)."""
    fields = [(6, 2, 'screen'), (8, 2, 'screen'), (10, 1, 'flags')]
    if len(data) < 13:
        return fields
    pos = 13
    if data[10] & 0x80:
        pos += 3 * (2 << (data[10] & 7))
    while pos < len(data):
        b = data[pos]
        if b == 0x2C and pos + 10 <= len(data):
            for i in range(4):
                fields.append((pos + 1 + 2 * i, 2, 'image'))
            fields.append((pos + 9, 1, 'flags'))
            flags = data[pos + 9]
            pos += 10
            if flags & 0x80:
                pos += 3 * (2 << (flags & 7))
            if pos < len(data):
                fields.append((pos, 1, 'codesize'))
            pos += 1
            while pos < len(data) and data[pos] != 0:
                pos += data[pos] + 1
            pos += 1
        elif b == 0x21 and pos + 2 < len(data):
            if data[pos + 1] == 0xF9 and pos + 7 < len(data):
                fields.append((pos + 3, 1, 'flags'))
                fields.append((pos + 4, 2, 'delay'))
                fields.append((pos + 6, 1, 'index'))
            fields.append((pos + 1, 1, 'label'))
            pos += 2
            while pos < len(data) and data[pos] != 0:
                pos += data[pos] + 1
            pos += 1
        else:
            pos += 1
    return fields


def damage(data, rng):
    data = bytearray(data)
    kind = rng.choice(['flip', 'flip', 'cut', 'insert', 'remove', 'field', 'field', 'field'])
    if len(data) < 8:
        kind = 'insert'
    if kind == 'flip':
        for _ in range(rng.randint(1, 4)):
            at = rng.randrange(6, len(data))
            data[at] ^= 1 << rng.randrange(8)
    elif kind == 'cut':
        data = data[:rng.randrange(6, len(data))]
    elif kind == 'insert':
        at = rng.randrange(6, len(data) + 1)
        data[at:at] = bytes(rng.randrange(256) for _ in range(rng.randint(1, 16)))
    elif kind == 'remove':
        at = rng.randrange(6, len(data))
        del data[at:at + rng.randint(1, 64)]
    else:
        offset, size, what = rng.choice(blocks(bytes(data)))
        if size == 2:
            value = rng.choice(EDGE_16 + [rng.randrange(65536)])
            data[offset:offset + 2] = struct.pack('<H', value)[:len(data) - offset]
        elif offset < len(data):
            data[offset] = rng.choice(EDGE_8 + [rng.randrange(256)])
    return bytes(data), kind


def run(cli, path, extra, timeout, env):
    with tempfile.NamedTemporaryFile() as times:
        command = ['/usr/bin/time', '-f', '%M %e', '-o', times.name, cli, 'reduce', '-q', '--json',
                   '-o', '-', *extra, path]
        # A session of its own, so that a run over the time is ended with the program it runs.
        child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                 env=env, start_new_session=True)
        try:
            _, err = child.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(child.pid, 9)
            child.communicate()
            return 'timeout', 0, 0.0, ''
        words = open(times.name).read().split()
        peak = int(words[-2]) if len(words) >= 2 and words[-2].isdigit() else 0
        seconds = float(words[-1]) if words else 0.0
        err = err.decode(errors='replace')
        # time reports a child killed by a signal with an exit status of 128 + the signal.
        crashed = child.returncode not in (0, 1) or 'Sanitizer' in err or 'runtime error' in err
        return ('crash' if crashed else 'ok'), peak, seconds, err


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--cli', required=True)
    parser.add_argument('--out', required=True)
    parser.add_argument('--corpus', action='append', default=[])
    parser.add_argument('--count', type=int, default=1000)
    parser.add_argument('--seed', type=int, default=23)
    parser.add_argument('--timeout', type=float, default=10)
    parser.add_argument('--max-memory', type=int, default=1024, help='MiB')
    parser.add_argument('--sanitized', action='store_true')
    args = parser.parse_args()

    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    folders = [os.path.join(root, 'tests', 'data', 'real')] + args.corpus
    sources = sorted({os.path.join(f, n) for f in folders for n in os.listdir(f)
                      if n.lower().endswith('.gif')})
    rng = random.Random(args.seed)
    inputs = os.path.join(args.out, 'inputs')
    findings = os.path.join(args.out, 'findings')
    os.makedirs(inputs, exist_ok=True)
    os.makedirs(findings, exist_ok=True)
    env = dict(os.environ)
    env.setdefault('ASAN_OPTIONS', 'detect_leaks=1')
    env.setdefault('UBSAN_OPTIONS', 'print_stacktrace=1')

    counts = {'runs': 0, 'crash': 0, 'timeout': 0, 'memory': 0, 'slow': 0}
    peak_max = (0, '')
    slowest = (0.0, '')
    for i in range(args.count):
        source = rng.choice(sources)
        data = open(source, 'rb').read()
        kinds = []
        for _ in range(rng.choice([1, 1, 2, 3])):
            data, kind = damage(data, rng)
            kinds.append(kind)
        name = '%04d-%s-%s' % (i, '+'.join(kinds), os.path.basename(source))
        path = os.path.join(inputs, name)
        open(path, 'wb').write(data)
        for extra in ([], ['--best']):
            outcome, peak, seconds, err = run(args.cli, path, extra + ['--max-memory', str(args.max_memory)],
                                     args.timeout, env)
            counts['runs'] += 1
            label = ' '.join(extra) or 'default'
            problem = None
            if outcome != 'ok':
                counts[outcome] += 1
                problem = outcome
            elif not args.sanitized and peak > args.max_memory * 1024:
                counts['memory'] += 1
                problem = 'memory %d MiB' % (peak // 1024)
            if peak > peak_max[0]:
                peak_max = (peak, name + ' ' + label)
            if seconds > slowest[0]:
                slowest = (seconds, name + ' ' + label)
            if seconds > 2 and len(data) < 1 << 20:
                counts['slow'] += 1
            if problem:
                shutil.copy(path, findings)
                print('%s: %s %s %s' % (problem, name, label, err.strip()[-400:]), flush=True)
    print('inputs %d, runs %d: %d crashes, %d over %gs, %d over %d MiB; largest peak %d MiB (%s); '
          'slowest %.2f s (%s), %d over 2 s'
          % (args.count, counts['runs'], counts['crash'], counts['timeout'], args.timeout,
             counts['memory'], args.max_memory, peak_max[0] // 1024, peak_max[1], slowest[0],
             slowest[1], counts['slow']))
    return 1 if counts['crash'] or counts['timeout'] or counts['memory'] else 0


if __name__ == '__main__':
    sys.exit(main())
