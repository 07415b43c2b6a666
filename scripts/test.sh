#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what the tests need, builds Mirel with warnings as errors and runs every test,
# then builds again with AddressSanitizer and UndefinedBehaviorSanitizer and runs them again,
# then the extra checks in .ci/extra-*.sh, and finally builds and tests once more on Debian 13
# in a chroot (scripts/debian13.sh). Every stage runs even when an earlier one failed;
# the last line counts every test, and the exit status is non-zero if anything failed.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh --test || exit 1

passed=0
failed=0
problems=()

echo "== Formatting"
if ! git ls-files -co --exclude-standard -- '*.cpp' '*.h' | xargs -r clang-format --dry-run --Werror; then
    problems+=("formatting")
fi

jobs=$(nproc)
for preset in ci asan; do
    echo "== Build and test: $preset"
    if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$jobs"; }; then
        problems+=("$preset build")
        continue
    fi
    log=build/$preset/ctest-summary.log
    ctest --preset "$preset" -j "$jobs" --timeout 300 | tee "$log"
    total=$(grep -oE 'tests failed out of [0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)
    bad=$(grep -oE '[0-9]+ tests failed out of' "$log" | grep -oE '^[0-9]+' || echo 0)
    if [[ $total -eq 0 ]]; then
        problems+=("$preset: no tests ran")
    fi
    passed=$((passed + total - bad))
    failed=$((failed + bad))
done

for extra in .ci/extra-*.sh; do
    [[ -e "$extra" ]] || continue
    echo "== $extra"
    if bash "$extra"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        problems+=("$extra")
    fi
done

# The same build and tests on Debian 13 (Qt 6.8), in a chroot; skipped where none can be made.
echo "== Debian 13 in a chroot"
mkdir -p build
scripts/debian13.sh 2>&1 | tee build/debian13.log
line=$(grep -E '^debian13: ' build/debian13.log | tail -1)
if [[ $line =~ ^debian13:\ ([0-9]+)\ passed,\ ([0-9]+)\ failed$ ]]; then
    passed=$((passed + BASH_REMATCH[1]))
    failed=$((failed + BASH_REMATCH[2]))
    [[ ${BASH_REMATCH[2]} -eq 0 ]] || problems+=("Debian 13")
elif [[ $line != "debian13: skipped: "* ]]; then
    failed=$((failed + 1))
    problems+=("Debian 13: ${line:-no result}")
fi

[[ ${#problems[@]} -eq 0 ]] || echo "problems: ${problems[*]}"
echo "tests: $passed passed, $failed failed"
[[ $failed -eq 0 && ${#problems[@]} -eq 0 ]]
