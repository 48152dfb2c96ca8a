#!/usr/bin/env bash
# Sets up what is missing, builds Quorvel (optimised) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF >/dev/null
cmake --build build-release -j"$(nproc)"
if [[ -x build-release/src/quorvel ]]; then
    exec build-release/src/quorvel "$@"
fi
echo "Quorvel's core library is built (build-release/src); the editor window is not part of this version yet."
