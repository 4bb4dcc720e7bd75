#!/usr/bin/env bash
# A short run of every fuzz target on its seeds (a few seconds each), for the test suite.
#   smoke.sh OUT_DIR SOURCE_DIR     (exit 77: skipped, clang is missing)
set -euo pipefail
out=$1
source=$(cd "$2" && pwd)
command -v clang++ > /dev/null || { echo "SKIPPED: clang++ is not installed"; exit 77; }
"$source/fuzz/build.sh" "$out" > /dev/null
for target in recording bmp tga transfer bitmapfile; do
    corpus="$out/corpus-$target"
    mkdir -p "$corpus"
    "$out/fuzz_$target" -max_total_time=5 -rss_limit_mb=4096 -max_len=65536 -artifact_prefix="$out/" "$corpus" "$source/tests/fuzz-seeds/$target" \
        > "$out/$target.log" 2>&1 || { tail -30 "$out/$target.log"; exit 1; }
    echo "$target: $(grep -o 'Done [0-9]* runs' "$out/$target.log")"
done
