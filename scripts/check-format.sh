#!/usr/bin/env bash
# Checks that every C and C++ file git tracks is formatted with the root
# .clang-format; lists the ones that are not and fails. Quick: run it before
# the build.
set -euo pipefail
cd "$(dirname "$0")/.."
unformatted=()
while IFS= read -r -d '' file; do
  clang-format --dry-run -Werror "$file" >/dev/null 2>&1 || unformatted+=("$file")
done < <(git ls-files -z -- '*.cpp' '*.h' '*.c')
if [ ${#unformatted[@]} -ne 0 ]; then
  echo "check-format: not formatted with the root .clang-format (run clang-format -i):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
