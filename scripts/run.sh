#!/usr/bin/env bash
# The main job: build the driver for the bench and as the kernel image, and show what there is.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)"
echo
echo "Built:"
echo "  driver for the bench:      build/release/libostrel_driver.a"
echo "  driver for the kernel:     build/release/image/libostrel_kernel.a (i686, freestanding)"
echo "  port-driver import library: build/release/image/libscsiport.a"
echo
echo "Port-driver operations the driver calls so far:"
i686-w64-mingw32-nm -u build/release/image/libostrel_kernel.a | awk '/_ScsiPort|_ScsiDebug/ {print "  " $2}' | sort -u
