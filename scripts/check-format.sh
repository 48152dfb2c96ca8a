#!/usr/bin/env bash
# Fails, naming the files, when a source differs from .clang-format. With --fix, formats them.
set -euo pipefail
cd "$(dirname "$0")/.."

clang_format=$(command -v clang-format-14 || command -v clang-format || true)
if [[ -z $clang_format ]]; then
    echo "clang-format is missing: scripts/setup-deps.sh --tests installs it" >&2
    exit 1
fi
mapfile -t sources < <(git ls-files -- 'src/*.h' 'src/*.cpp' 'tests/*.h' 'tests/*.cpp' 'bench/*.h' 'bench/*.cpp')
if [[ ${1:-} == --fix ]]; then
    "$clang_format" -i "${sources[@]}"
    exit 0
fi
"$clang_format" --dry-run --Werror "${sources[@]}"
echo "${#sources[@]} files follow .clang-format"
