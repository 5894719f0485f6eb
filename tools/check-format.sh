#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what clang-format makes of it
# (the house style in .clang-format); prints the files and how to mend them.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/common.sh
ensure_packages clang-format
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.hpp' '*.cc')
bad=()
for f in "${files[@]}"; do
  if ! clang-format --style=file "$f" | cmp -s - "$f"; then bad+=("$f"); fi
done
if [ "${#bad[@]}" -gt 0 ]; then
  echo "not formatted ($(clang-format --version)):" >&2
  printf '  %s\n' "${bad[@]}" >&2
  echo "mend with: clang-format -i ${bad[*]}" >&2
  exit 1
fi
echo "format: ${#files[@]} files as .clang-format says"
