#!/usr/bin/env bash
# Sets up what is missing, builds Quorvel (optimised) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF -DQUORVEL_BENCHMARKS=OFF >/dev/null
cmake --build build-release -j"$(nproc)"
exec build-release/src/quorvel "$@"
