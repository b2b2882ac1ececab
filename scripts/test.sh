#!/usr/bin/env bash
# Every test: the fast ones under AddressSanitizer and UndefinedBehaviorSanitizer,
# the long time-out cases (label "slow") and the image checks in an optimised build.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build/sanitize -G Ninja -DOSTREL_SANITIZE=ON -DOSTREL_KERNEL_IMAGE=OFF -DOSTREL_BENCHMARKS=OFF >/dev/null
cmake --build build/sanitize -j "$jobs"
(cd build/sanitize && ctest -j "$jobs" --output-on-failure -LE slow)

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$jobs"
(cd build/release && ctest -j "$jobs" --output-on-failure -L 'slow|image')
