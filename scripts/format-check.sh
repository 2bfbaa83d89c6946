#!/usr/bin/env bash
# Fails when a C++ source of the project is not formatted by .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files -- '*.cpp' '*.h' 2>/dev/null || true)
[ -n "$files" ] || exit 0
# shellcheck disable=SC2086
clang-format --dry-run --Werror $files
