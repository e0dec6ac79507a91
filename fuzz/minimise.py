#!/usr/bin/env python3
"""Shrinks a fuzz corpus to a small seed set: a greedy set cover over the
edges each input reaches, the input adding the most uncovered edges first
(the smaller one on ties), until every edge is covered.

Per-input edges come from one libFuzzer merge per input, so each control
file holds the input's whole coverage (a merge of many inputs lists only
the edges new to it):

  for f in CORPUS/*; do  # one merge per input
    d=$(mktemp -d); e=$(mktemp -d); cp "$f" "$d"/
    TARGET -merge=1 -use_counters=0 -merge_control_file=CTL/$(basename "$f").ctl "$e" "$d"
  done
  fuzz/minimise.py CORPUS CTL SEEDS
"""
import os
import shutil
import sys


def edges(control_file):
    for line in open(control_file):
        parts = line.split()
        if parts and parts[0] == 'COV':
            return set(int(x) for x in parts[2:])
    return set()


def main():
    corpus, controls, seeds = sys.argv[1:4]
    cover = {}
    for name in os.listdir(corpus):
        control = os.path.join(controls, name + '.ctl')
        if os.path.exists(control):
            cover[name] = edges(control)
    size = {name: os.path.getsize(os.path.join(corpus, name)) for name in cover}
    left = set().union(*cover.values()) if cover else set()
    chosen = []
    while left:
        best = max(cover, key=lambda n: (len(cover[n] & left), -size[n]))
        left -= cover[best]
        chosen.append(best)
    os.makedirs(seeds, exist_ok=True)
    for name in chosen:
        shutil.copy(os.path.join(corpus, name), os.path.join(seeds, name))
    print(f'{len(chosen)} of {len(cover)} inputs cover every edge, '
          f'{sum(size[n] for n in chosen)} bytes')


if __name__ == '__main__':
    main()
