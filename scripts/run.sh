#!/usr/bin/env bash
# The main job: build the driver (for the bench and as ostrel.sys) and watch it
# work on the built-in simulated adapter and a 64 MiB disk. Arguments go to ostrel-sim.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)" >/dev/null
echo "Kernel image: build/release/image/ostrel.sys"
build/release/tools/ostrel-imagecheck build/release/image/ostrel.sys | head -1
echo
exec build/release/tools/ostrel-sim "$@"
