#!/usr/bin/env bash
# Installs what the tests need, builds Mirel with warnings as errors and runs every test,
# then builds again with AddressSanitizer and UndefinedBehaviorSanitizer and runs them again.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh --test

echo "== Formatting"
git ls-files -co --exclude-standard -- '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror

jobs=$(nproc)
passed=0
failed=0
for preset in ci asan; do
    echo "== Build and test: $preset"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    log=build/$preset/ctest-summary.log
    ctest --preset "$preset" -j "$jobs" --timeout 300 | tee "$log"
    total=$(grep -oE 'tests failed out of [0-9]+' "$log" | grep -oE '[0-9]+$')
    bad=$(grep -oE '[0-9]+ tests failed out of' "$log" | grep -oE '^[0-9]+')
    passed=$((passed + total - bad))
    failed=$((failed + bad))
done

for extra in .ci/extra-*.sh; do
    [[ -e "$extra" ]] || continue
    echo "== $extra"
    bash "$extra"
done

echo "tests: $passed passed, $failed failed"
