#!/usr/bin/env bash
# Installs what the tests need, builds Mirel with warnings as errors and runs every test,
# then builds again with AddressSanitizer and UndefinedBehaviorSanitizer and runs them again.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh --test

echo "== Formatting"
git ls-files -co --exclude-standard -- '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror

jobs=$(nproc)
for preset in ci asan; do
    echo "== Build and test: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs" --timeout 300
done

for extra in .ci/extra-*.sh; do
    [[ -e "$extra" ]] || continue
    echo "== $extra"
    bash "$extra"
done
