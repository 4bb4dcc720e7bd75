#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer
# into fuzz/out/. Run one with, for example:
#   fuzz/out/fuzz_bmp -max_total_time=600 /tmp/corpus-bmp tests/fuzz-seeds/bmp
# An output folder other than fuzz/out may be given as the first argument.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
cd "$source_dir"
out=${1:-fuzz/out}
mkdir -p "$out"
flags="-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I."
qt="$(pkg-config --cflags --libs Qt6Gui exiv2) -lgif"
pids=()
clang++ $flags fuzz/fuzz_recording.cpp recording/*.cpp -lpthread -o "$out/fuzz_recording" &
pids+=($!)
image_sources="image/ObjImage.cpp image/ImageHandle.cpp image/AtomicFile.cpp image/ImageHandleBmp.cpp image/ImageHandleTga.cpp image/ImageHandleQt.cpp image/GifWriter.cpp image/ExifTags.cpp"
for target in bmp tga transfer; do
    clang++ $flags -fPIC fuzz/fuzz_$target.cpp $image_sources $qt -o "$out/fuzz_$target" &
    pids+=($!)
done
clang++ $flags -fPIC fuzz/fuzz_bitmapfile.cpp print/BitmapFile.cpp $(pkg-config --cflags --libs Qt6Gui) \
    -o "$out/fuzz_bitmapfile" &
pids+=($!)
for pid in "${pids[@]}"; do wait "$pid"; done  # fails when any build failed
echo "built: $(ls "$out" | tr '\n' ' ')"
