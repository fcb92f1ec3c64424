#!/bin/bash
# Installs a finished build tree with `cmake --install --prefix DIR` into two directories (one
# with a blank in its name), builds a consumer there with only pkg-config, and with only the
# CMake package, and runs it and the installed sample host; then moves an installed tree and
# builds against it again: nothing in it may name the prefix it was installed to.
#   check_install_prefix.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# shellcheck source=consumer.sh
. "$source/tests/packaging/consumer.sh"

# check_prefix DIR NAME: a consumer built against the tree in DIR runs with DIR's library.
check_prefix() {
  local prefix=$1 name=$2 libdir pcfile
  pcfile=$(find "$prefix" -name ostravelk.pc)
  [ -n "$pcfile" ] || fail "no ostravelk.pc under $prefix"
  libdir=$(dirname "$(dirname "$pcfile")")
  build_with_pkgconfig "$(dirname "$pcfile")" "$scratch/out/$name"
  run_lists_cameras "$scratch/out/$name" "$libdir" LD_LIBRARY_PATH="$libdir"
  build_with_cmake "$prefix" "$scratch/out/$name-cmake"
  run_lists_cameras "$scratch/out/$name-cmake/list_cameras" "$libdir" LD_LIBRARY_PATH="$libdir"
  host_lister "$prefix/bin/ostravelk-host" "$scratch/out/$name-host"
  run_lists_cameras "$scratch/out/$name-host" "$libdir"
  echo "$prefix: consumers and sample host list the cameras"
}

mkdir -p "$scratch/out"
for prefix in "$scratch/plain" "$scratch/with blank"; do
  cmake --install "$build" --prefix "$prefix" --strip >/dev/null || fail "install to $prefix"
done
check_prefix "$scratch/plain" plain
check_prefix "$scratch/with blank" blank
mkdir "$scratch/elsewhere"
mv "$scratch/with blank" "$scratch/elsewhere/moved tree"
check_prefix "$scratch/elsewhere/moved tree" moved
echo "== prefix /usr below DESTDIR"
DESTDIR="$scratch/destdir" cmake --install "$build" --prefix /usr >/dev/null || fail "install to /usr"
pcfile=$(find "$scratch/destdir" -name ostravelk.pc)
[ "$(sed -n 's/^prefix=//p' "$pcfile")" = /usr ] || fail "pkg-config file for /usr: $(cat "$pcfile")"
[ "$(PKG_CONFIG_PATH=$(dirname "$pcfile") pkg-config --variable=includedir ostravelk)" = /usr/include ] ||
  fail "pkg-config file for /usr names no /usr/include"
readelf -d "$scratch/destdir/usr/bin/ostravelk-host" | grep -qE 'R(UN)?PATH' &&
  fail "host installed to /usr has a run path"
echo "$pcfile: prefix=/usr; host without run path"
echo "OK"
