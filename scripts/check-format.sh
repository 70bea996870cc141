#!/usr/bin/env bash
# Checks that every C and C++ file git tracks is formatted with the root
# .clang-format, and that Qt headers are included only in the Qt half of the
# platform, directly or through our own headers; lists the files that break a
# rule and fails. Quick: run it before the build.
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

# The same through our own headers: no unit or header outside the Qt half,
# the tests and the benchmarks reaches a Qt header through the "..." includes
# it pulls in, however deep, and neither does a public header of the Qt half
# (a header there that needs Qt is private to the half and says so by its
# name, *Private.h). A "..." include resolves as the build's include paths
# do: the including file's folder first, then the repository root; one that
# names no tracked file is left out. Lists each offender with a shortest
# chain to the Qt header.
toolkit_chains=$(
  python3 - <<'PY'
import os
import re
import subprocess
from collections import deque

listed = subprocess.run(["git", "ls-files", "-z", "--", "*.cpp", "*.h"],
                        check=True, capture_output=True, text=True).stdout
files = set(listed.split("\0")) - {""}
quoted = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
toolkit = re.compile(r"^\s*#\s*include\s*<(Q[^>]*)>")
includes = {}


def included(path):
    """The tracked files and the Qt headers that `path` includes."""
    if path not in includes:
        found = []
        with open(path, encoding="utf-8", errors="replace") as source:
            for line in source:
                if m := toolkit.match(line):
                    found.append("<" + m.group(1) + ">")
                elif m := quoted.match(line):
                    for name in (os.path.join(os.path.dirname(path), m.group(1)), m.group(1)):
                        name = os.path.normpath(name)
                        if name in files:
                            found.append(name)
                            break
        includes[path] = found
    return includes[path]


def chain_to_toolkit(start):
    """A shortest include chain from `start` to a Qt header, or None."""
    parent = {start: None}
    queue = deque([start])
    while queue:
        path = queue.popleft()
        for step in included(path):
            if step in parent:
                continue
            parent[step] = path
            if step.startswith("<"):
                chain = [step]
                while parent[chain[-1]] is not None:
                    chain.append(parent[chain[-1]])
                return chain[::-1]
            queue.append(step)
    return None


for path in sorted(files):
    if path.startswith(("tests/", "bench/")):
        continue
    if path.startswith(("platform/forms/", "platform/graphics/")) and (
            not path.endswith(".h") or path.endswith("Private.h")):
        continue
    if chain := chain_to_toolkit(path):
        print(" -> ".join(chain))
PY
)
if [ -n "$toolkit_chains" ]; then
  echo "check-format: Qt headers reached through our own includes (only the tests, the" \
    "benchmarks and the Qt half's .cpp files and *Private.h headers may):" >&2
  sed 's/^/  /' <<<"$toolkit_chains" >&2
  exit 1
fi
