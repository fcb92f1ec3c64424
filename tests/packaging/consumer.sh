# shellcheck shell=bash disable=SC2154
# Shared by the packaging checks (sourced): builds the camera-listing consumer against an
# installed Ostravelk and checks that it lists the simulated cameras with the installed library.
# Needs: $source (source tree), $build (build tree), $scratch (scratch directory).

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The names the build tree's sample host lists (the quoted last column of its table); what every
# consumer must list.
expected_cameras() {
  OSTRAVELK_SIM_DIR="$source/sim/cameras" OSTRAVELK_BACKENDS=sim \
    "$build/tools/ostravelk-host" --dir "$scratch" list 2>/dev/null | sed -n 's/^  .* "\(.*\)"$/\1/p'
}

# run_lists_cameras BINARY LIBDIR [ENV...]: BINARY (which lists cameras on standard output) must
# list the expected cameras with the library of LIBDIR.
run_lists_cameras() {
  local binary=$1 libdir=$2 listed trace loaded
  shift 2
  mkdir -p "$scratch/host"
  listed=$(env "$@" OSTRAVELK_SIM_DIR="$source/sim/cameras" OSTRAVELK_BACKENDS=sim \
    "$binary" "$scratch/host" 2>/dev/null) || fail "$binary failed"
  [ "$listed" = "$(expected_cameras)" ] || fail "$binary listed '$listed'"
  # The library that ran is the installed one, not the build tree's.
  # The loader's trace goes to files of its own: a program may filter its standard error.
  rm -f "$scratch/ld-trace".*
  env "$@" LD_DEBUG=libs LD_DEBUG_OUTPUT="$scratch/ld-trace" \
    OSTRAVELK_SIM_DIR="$source/sim/cameras" OSTRAVELK_BACKENDS=sim \
    "$binary" "$scratch/host" >/dev/null 2>&1
  trace=$(cat "$scratch/ld-trace".* 2>/dev/null)
  loaded=$(sed -n 's/.*calling init: \(.*libostravelk\.so\.1\)$/\1/p' <<<"$trace" | head -1)
  if [ -z "$loaded" ] || [ "$(realpath "$loaded")" != "$(realpath "$libdir/libostravelk.so.1")" ]; then
    fail "$binary loaded '$loaded', not $libdir/libostravelk.so.1"
  fi
}

# build_with_pkgconfig PCDIR OUT [SYSROOT]: compiles the consumer with only what pkg-config
# says, as a makefile would (the flags are shell words: a prefix with blanks comes escaped); with
# SYSROOT, for a tree installed below SYSROOT as a cross build would.
build_with_pkgconfig() {
  # shellcheck disable=SC2034 # out is used by eval
  local pcdir=$1 out=$2 sysroot=${3:-} flags
  flags=$(PKG_CONFIG_SYSROOT_DIR="$sysroot" PKG_CONFIG_PATH="$pcdir" \
    pkg-config --cflags --libs ostravelk) || fail "pkg-config"
  eval "cc -std=c99 -Wall -Wextra -Werror -pedantic \"\$source/tests/packaging/list_cameras.c\" \
    -o \"\$out\" $flags" || fail "consumer build with pkg-config flags: $flags"
}

# build_with_cmake PREFIX OUTDIR: builds the consumer with find_package(Ostravelk).
build_with_cmake() {
  local prefix=$1 outdir=$2
  cmake -S "$source/tests/packaging/cmake_consumer" -B "$outdir" -G Ninja \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >/dev/null ||
    fail "consumer configure with CMake package in $prefix"
  local found
  found=$(sed -n 's/^Ostravelk_DIR:PATH=//p' "$outdir/CMakeCache.txt")
  [[ $found == "$prefix"/lib/cmake/Ostravelk || $found == "$prefix"/lib/*/cmake/Ostravelk ]] ||
    fail "consumer found the CMake package in '$found', outside $prefix"
  cmake --build "$outdir" >/dev/null || fail "consumer build with CMake package in $prefix"
}

# host_lister HOST OUT: writes OUT, a program that lists cameras like the consumer, by running the
# installed sample host HOST.
host_lister() {
  # shellcheck disable=SC2016 # $1 belongs to the written script
  printf '#!/bin/sh\nexec "%s" --dir "$1" list | sed -n '"'"'s/^  .* "\\(.*\\)"$/\\1/p'"'"'\n' "$1" >"$2"
  chmod +x "$2"
}
