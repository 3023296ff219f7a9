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
