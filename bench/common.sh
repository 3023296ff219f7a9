# Shared by the bench/*.sh comparisons. Source it.
# time_best N CMD...: the best wall time of N runs in seconds (warm cache).
time_best() {
  local n=$1; shift
  local best=""
  for _ in $(seq "$n"); do
    local t0 t1 t
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s.%N)
    t=$(echo "$t1 - $t0" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
  done
  printf '%.4f\n' "$best"
}
# ratio OURS ANCHOR: prints "ratio: X" with three decimals
ratio() { printf 'ratio: %.3f\n' "$(echo "$1 / $2" | bc -l)"; }
# min A B: the smaller of two times
min() { echo "if ($1 < $2) $1 else $2" | bc -l; }
# alternate N OURS ANCHOR [PREP_OURS PREP_ANCHOR]: runs both commands (programs or shell
# functions, word-split) N times each, alternating, each after its own preparation, and sets
# BEST_OURS and BEST_ANCHOR to the best times.
alternate() {
  local n=$1 ours=$2 anchor=$3 prep_ours=${4:-true} prep_anchor=${5:-true} t
  BEST_OURS=999; BEST_ANCHOR=999
  for _ in $(seq "$n"); do
    $prep_ours; t=$(time_best 1 $ours); BEST_OURS=$(min "$t" "$BEST_OURS")
    $prep_anchor; t=$(time_best 1 $anchor); BEST_ANCHOR=$(min "$t" "$BEST_ANCHOR")
  done
}
# on_exit CMD: adds CMD to what runs when the script ends (every caller's, in order), so a
# helper's clean-up never replaces the script's own.
BENCH_ON_EXIT=()
on_exit() {
  BENCH_ON_EXIT+=("$1")
  trap 'for c in "${BENCH_ON_EXIT[@]}"; do eval "$c"; done' EXIT
}
# random_file PATH BYTES: makes PATH of random bytes once; later runs reuse it.
random_file() {
  [ -f "$1" ] && return 0
  head -c "$2" /dev/urandom >"$1.part"
  mv "$1.part" "$1"
}
# term_stream: builds term_driver and makes the 100 MB terminal stream of bench/term.sh once;
# sets TERM_DRIVER and TERM_STREAM.
term_stream() {
  local build=${VELMAR_BUILD:-$(dirname "${BASH_SOURCE[0]}")/../build}
  local data=${VELMAR_BENCH_DATA:-/tmp/velmar-bench}/term
  TERM_STREAM=$data/stream-100m.txt
  cmake --build "$build" --target term_driver >/dev/null
  TERM_DRIVER=$build/bench/term_driver
  if [ ! -f "$data/.complete" ]; then
    rm -rf "$data"; mkdir -p "$data"
    "$TERM_DRIVER" make "$TERM_STREAM" 100 && touch "$data/.complete"
  fi
}

# search_tree: the tree of 50,000 files in 500 folders shared by search-files and dir-sizes,
# made once by the search driver. Needs build; sets driver and tree.
search_tree() {
  local data=${VELMAR_BENCH_DATA:-/tmp/velmar-bench}/search-tree
  cmake --build "$build" --target searchfiles_driver >/dev/null
  driver=$build/bench/searchfiles_driver
  if [ ! -f "$data/.complete" ]; then
    rm -rf "$data"; mkdir -p "$data"
    "$driver" make "$data/tree" && touch "$data/.complete"
  fi
  tree=$data/tree
}

# tmpfs_run SCRIPT: runs the comparison SCRIPT once more with its data in a tmpfs folder
# (/dev/shm), where the disk's swings from run to run do not reach, and prints its lines with
# "tmpfs " before them (so its ratio is not the script's last line). Does nothing inside that
# run. The folder goes afterwards.
tmpfs_run() {
  [ -n "${VELMAR_BENCH_TMPFS:-}" ] && return 0
  local shm=/dev/shm/velmar-bench-$$
  if [ "$(findmnt -n -o FSTYPE -T /dev/shm 2>/dev/null | head -1)" != tmpfs ]; then
    echo "tmpfs: /dev/shm is not a tmpfs here; no tmpfs run"
    return 0
  fi
  mkdir -p "$shm"
  VELMAR_BENCH_TMPFS=1 VELMAR_BENCH_DATA=$shm bash "$1" | sed 's/^/tmpfs /' || true
  rm -rf "$shm"
}
