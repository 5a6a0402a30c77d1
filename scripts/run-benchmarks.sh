#!/usr/bin/env bash
# Runs every benchmark executable of a build folder, one after another.
set -euo pipefail
build=${1:-build}
for b in "$build"/bench/*_bench; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b"
done
