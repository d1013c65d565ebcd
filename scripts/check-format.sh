#!/usr/bin/env bash
# Fails, naming the files, when a C++ file of the project is not laid out as
# .clang-format says. `scripts/check-format.sh --fix` rewrites them instead.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -d '' files < <(find src tests tools bench \
  \( -name '*.cpp' -o -name '*.h' -o -name '*.cc' -o -name '*.hpp' \) -type f -print0 | sort -z)

if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi

off=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || off+=("$f")
done
if [ ${#off[@]} -gt 0 ]; then
  echo "not laid out as .clang-format says (scripts/check-format.sh --fix):"
  printf '  %s\n' "${off[@]}"
  exit 1
fi
echo "format: ${#files[@]} C++ files as .clang-format says"
