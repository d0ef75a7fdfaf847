#!/usr/bin/env python3
"""Packs a polygon reference corpus into the one gzip file the corpus test reads.

usage: tools/pack-polygon-corpus.py CORPUS_DIR [OUTPUT]
       (OUTPUT defaults to tests/polygon/data/polygon-corpus.gz)

CORPUS_DIR holds one folder per case with the files `op`, `a.gpc`, `b.gpc`
(absent for growing cases) and `expected.strips`; folders without
`expected.strips` are not cases. The packed text is

    polygon-corpus CASES
    case NAME
    FILE BYTES
    <BYTES bytes: the file's exact content>
    FILE BYTES
    ...

with the cases sorted by name and each case's files in the order op, a.gpc,
b.gpc, expected.strips. The gzip header carries no name and no time, so the
same corpus always packs to the same bytes.
"""
import gzip
import os
import sys

FILES = ["op", "a.gpc", "b.gpc", "expected.strips"]


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__.strip().split("\n\n")[1])
    corpus = sys.argv[1]
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[2] if len(sys.argv) == 3 else os.path.normpath(os.path.join(here, "..", "tests", "polygon", "data", "polygon-corpus.gz"))
    names = sorted(n for n in os.listdir(corpus) if os.path.isfile(os.path.join(corpus, n, "expected.strips")))
    if not names:
        sys.exit(f"no cases in {corpus}")
    parts = [f"polygon-corpus {len(names)}\n".encode()]
    for name in names:
        if any(c.isspace() for c in name):
            sys.exit(f"case name with white space: {name!r}")
        parts.append(f"case {name}\n".encode())
        for file in FILES:
            path = os.path.join(corpus, name, file)
            if not os.path.exists(path):
                continue
            with open(path, "rb") as f:
                data = f.read()
            parts.append(f"{file} {len(data)}\n".encode())
            parts.append(data)
    os.makedirs(os.path.dirname(os.path.abspath(output)), exist_ok=True)
    temporary = output + ".tmp"
    with open(temporary, "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", fileobj=raw, compresslevel=9, mtime=0) as packed:
            for part in parts:
                packed.write(part)
    os.replace(temporary, output)
    print(f"{output}: {len(names)} cases, {sum(map(len, parts))} bytes of text, {os.path.getsize(output)} bytes packed")


if __name__ == "__main__":
    main()
