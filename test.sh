#!/usr/bin/env bash
# Builds kwsekunde with assertions on and runs every test (Qt tests on the offscreen platform).
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
kws_install_missing $KWS_BUILD_PACKAGES $KWS_RUNTIME_PACKAGES $KWS_TEST_PACKAGES

build=${KWS_TEST_BUILD_DIR:-build-test}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug > /dev/null
cmake --build "$build"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
