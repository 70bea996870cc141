#!/usr/bin/env bash
# Checks that every C and C++ file git tracks is formatted with the root
# .clang-format, and that Qt headers are included only in the Qt half of the
# platform; lists the files that break a rule and fails. Quick: run it
# before the build.
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

# The toolkit stays in its half: only the Qt half of the platform
# (platform/forms, platform/graphics), the tests and the benchmarks (which
# measure the Qt backends and use the toolkit as a peer) include Qt headers.
# Everything else reaches the toolkit through our own types.
toolkit_includes=$(git ls-files -z -- '*.cpp' '*.h' |
  xargs -0 grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q' -- |
  grep -v -E '^(platform/forms|platform/graphics|tests|bench)/' || true)
if [ -n "$toolkit_includes" ]; then
  echo "check-format: Qt headers outside platform/forms, platform/graphics, tests and bench:" >&2
  sed 's/^/  /' <<<"$toolkit_includes" >&2
  exit 1
fi
