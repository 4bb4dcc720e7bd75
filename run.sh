#!/usr/bin/env bash
# Builds kwsekunde (Release) and runs its main job on the bundled six-curve sample:
# the program itself when a display is there, otherwise a headless evaluation whose outputs
# land in out/sample-evaluation/.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
kws_install_missing $KWS_BUILD_PACKAGES $KWS_RUNTIME_PACKAGES

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKWS_BUILD_TESTS=OFF > /dev/null
cmake --build build

sample=examples/six-curve-sample.txt
program=build/bin/kwsekunde

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && "$program" --help | grep -q "start the program"; then
    exec "$program" "$sample"
fi

out=out/sample-evaluation
mkdir -p "$out"
"$program" --info "$sample" > "$out/info.txt"
outputs=(--samples "$out/samples.tsv" --image "$out/graph.png" --pdf "$out/page.pdf")
summary=$("$program" --evaluate "$sample" "${outputs[@]}")

layout=$(sed -n 's/^layout=//p' "$out/info.txt")
echo "kwsekunde: headless evaluation of $sample"
echo "  layout:  $layout"
echo "  start:   $(sed -n 's/^start=//p' "$out/info.txt")"
echo "  end:     $(sed -n 's/^end=//p' "$out/info.txt")"
echo "  samples: $(echo "$summary" | sed -n 's/^samples=\([0-9]*\).*/\1/p')"
echo "  files written:"
for f in "$out"/*; do echo "    $f ($(stat -c %s "$f") bytes)"; done
