# Shared by copy-tree and delete-tree: a tree of 20,000 files of 4 KiB in 200 folders, made
# once under $data/tree-20k. Source it after common.sh with $data set.
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
