#!/usr/bin/env bash
# Prints the share of tests in the code: non-blank lines of the tracked sources under tests/
# against all tracked sources.
set -euo pipefail
cd "$(git -C "$(dirname "$0")" rev-parse --show-toplevel)"
count() { xargs -r -d '\n' cat | grep -cv '^[[:space:]]*$' || true; }
files=$(git ls-files | grep -E '\.(cpp|cc|c|h|hpp|sh|py|cmake)$|(^|/)CMakeLists\.txt$')
tests=$(grep -E '^tests/' <<<"$files" | count)
all=$(count <<<"$files")
awk -v t="$tests" -v a="$all" 'BEGIN { printf "tests: %d of %d non-blank lines (%.1f %%)\n", t, a, 100 * t / a }'
