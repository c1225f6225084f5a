#!/usr/bin/env bash
# Keeps the game library's folders in layers: a file may include headers of its own folder
# and of the folders below it, never of one above, so the game state and its records (core/)
# sit at the bottom and app/ (start-up, the loop, the frame) at the top. Tests, benchmarks,
# fuzz targets and tools may include anything.
#   tests/include_layers.sh [SOURCE_ROOT]
# Prints every include that points up (file:line: what it includes) and fails if there is one.
set -euo pipefail
root="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
layers=(core platform render level models movers player combat bots app)

rank_list=""
for i in "${!layers[@]}"; do rank_list+="${layers[$i]}=$i "; done

files=()
for dir in "${layers[@]}"; do
  if [ ! -d "$root/$dir" ]; then
    echo "include_layers: no folder $root/$dir" >&2
    exit 1
  fi
  while IFS= read -r -d '' f; do files+=("$f"); done \
    < <(find "$root/$dir" -maxdepth 1 -type f \( -name '*.h' -o -name '*.cpp' \) -print0 | sort -z)
done

# One line per fault; awk reads every file once and knows each file's own folder by its path.
faults="$(awk -v ranks="$rank_list" -v root="$root/" '
  BEGIN {
    n = split(ranks, pairs, " ")
    for (i = 1; i <= n; ++i) { split(pairs[i], kv, "="); rank[kv[1]] = kv[2] + 0 }
  }
  FNR == 1 {
    name = substr(FILENAME, length(root) + 1)
    own = name; sub(/\/.*/, "", own)
  }
  /^[ \t]*#[ \t]*include[ \t]*"/ {
    target = $0
    sub(/^[^"]*"/, "", target); sub(/".*/, "", target)
    if (index(target, "/") == 0) next
    folder = target; sub(/\/.*/, "", folder)
    if (!(folder in rank))
      printf "%s:%d: includes %s, outside the game library\n", name, FNR, target
    else if (rank[folder] > rank[own])
      printf "%s:%d: includes %s, but %s/ is above %s/\n", name, FNR, target, folder, own
  }
' "${files[@]}")"

# A base name says what a file holds, so no two files of the house share one (a header and
# the source that pairs with it aside).
same_names="$(cd "$root" && find core platform render level models movers player combat bots app tools tests bench fuzz \
    -type f \( -name '*.h' -o -name '*.cpp' \) 2>/dev/null |
  awk -F/ '{ base = $NF; sub(/\.(h|cpp)$/, "", base); dir = $0; sub(/\/[^\/]*$/, "", dir)
             if ((base in seen) && seen[base] != dir) printf "%s/ and %s/ both hold a file named %s\n", seen[base], dir, base
             else seen[base] = dir }')"
faults="$faults${faults:+${same_names:+$'\n'}}$same_names"

if [ -n "$faults" ]; then
  echo "$faults"
  echo "include_layers: includes must point down the layers (${layers[*]}) and base names be unique" >&2
  exit 1
fi
echo "include_layers: ${#files[@]} files, every include points down (${layers[*]})"
