# Shared set-up of copy-tree and delete-tree: sourced after common.sh with $here set. Sets
# $build and $data, makes a tree of 20,000 files of 4 KiB in 200 folders once under
# $data/tree-20k and builds the file driver.
build=${VELMAR_BUILD:-$here/../build}
data=${VELMAR_BENCH_DATA:-/tmp/velmar-bench}
mkdir -p "$data"
make_tree() {
  local tree=$data/tree-20k
  [ -f "$tree/.complete" ] && return 0
  rm -rf "$tree"; mkdir -p "$tree"
  head -c 4096 /dev/urandom >"$data/tree-4k.bin"
  for d in $(seq -w 1 200); do
    mkdir "$tree/d$d"
    for f in $(seq -w 1 100); do cp "$data/tree-4k.bin" "$tree/d$d/f$f.dat"; done
  done
  touch "$tree/.complete"
}
make_tree
cmake --build "$build" --target file_driver >/dev/null
