#!/usr/bin/env bash
# Builds the optimised configuration and runs the benchmarks, the batch program beside vips and
# ImageMagick, then the comparison with OpenCV and Pillow. Arguments go to quorvel_bench (for
# example --benchmark_filter=Effects).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh --peers
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF -DQUORVEL_BENCHMARKS=ON >/dev/null
cmake --build build-release -j"$(nproc)" --target quorvel_bench quorvel_canvas_bench quorvel_preview_bench \
    quorvel_batch_bench
build-release/bench/quorvel_bench "$@"
build-release/bench/quorvel_canvas_bench
build-release/bench/quorvel_preview_bench
build-release/bench/quorvel_batch_bench
/usr/bin/python3 bench/peers.py build-release/bench/quorvel_bench
