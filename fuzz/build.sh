#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer
# into fuzz/out/, from the project's own library targets (fuzz/CMakeLists.txt). Run one with,
# for example:
#   fuzz/out/fuzz_bmp -max_total_time=600 /tmp/corpus-bmp tests/fuzz-seeds/bmp
# An output folder other than fuzz/out may be given as the first argument.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
cd "$source_dir"
out=${1:-fuzz/out}
mkdir -p "$out"
out=$(cd "$out" && pwd)
build="$out/build"
launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$source_dir" -B "$build" -G Ninja "${launcher[@]}" \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Fuzz -DCMAKE_CXX_FLAGS_FUZZ="-g -O1" \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
    -DKWS_BUILD_FUZZ=ON -DKWS_BUILD_TESTS=OFF > "$out/configure.log"
targets=(fuzz_recording fuzz_bmp fuzz_tga fuzz_transfer fuzz_bitmapfile)
cmake --build "$build" -j"${KWS_FUZZ_JOBS:-2}" --target "${targets[@]}"
for target in "${targets[@]}"; do cp "$build/bin/$target" "$out/"; done
echo "built: ${targets[*]}"
