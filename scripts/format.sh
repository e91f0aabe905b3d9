#!/usr/bin/env bash
# Formats every C and C++ source of the project with clang-format and the
# repository's .clang-format. With --check, changes nothing and fails,
# naming them, if any file is not formatted.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
format=${CLANG_FORMAT:-$(command -v clang-format-14 || command -v clang-format || true)}
if [[ -z "$format" ]]; then
    echo "format.sh: clang-format not found (apt-get install clang-format)" >&2
    exit 2
fi

mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h')
if [[ "${1-}" == "--check" ]]; then
    unformatted=()
    for f in "${files[@]}"; do
        if ! "$format" --style=file "$f" | cmp -s - "$f"; then unformatted+=("$f"); fi
    done
    if [[ ${#unformatted[@]} -gt 0 ]]; then
        printf 'format.sh: not formatted: %s\n' "${unformatted[@]}" >&2
        exit 1
    fi
    echo "format.sh: ${#files[@]} files formatted"
else
    "$format" --style=file -i "${files[@]}"
fi
