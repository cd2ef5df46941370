#!/usr/bin/env bash
# Prints the share of tests in the code: non-blank lines of the tracked sources under tests/
# against all tracked sources.
set -euo pipefail
cd "$(git -C "$(dirname "$0")" rev-parse --show-toplevel)"
count() { xargs -r -d '\n' cat | grep -cv '^[[:space:]]*$' || true; }
files=$(git ls-files | grep -E '\.(cpp|cc|c|h|hpp|sh|py|cmake)$|(^|/)CMakeLists\.txt$')
tests=$(grep -E '^tests/' <<<"$files" | count)
all=$(count <<<"$files")
echo "tests: $tests of $all non-blank lines ($((100 * tests / all)) %)"
