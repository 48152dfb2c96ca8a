#!/usr/bin/env bash
# Sets up what is missing, checks the formatting, builds the test configuration (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs the whole suite through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh --tests
scripts/check-format.sh
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_SANITIZE=ON -DQUORVEL_WERROR=ON -DQUORVEL_BENCHMARKS=OFF >/dev/null
cmake --build build-test -j"$(nproc)"
cd build-test
ctest --output-on-failure -j"$(nproc)"
