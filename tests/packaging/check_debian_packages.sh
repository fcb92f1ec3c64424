#!/bin/bash
# Builds the Debian packages from a finished build tree, installs them with apt-get into a scratch
# root, builds a consumer with only pkg-config (and one with only the CMake package) against
# them, then removes and purges them and checks that nothing is left.
#   check_debian_packages.sh BUILD_DIR SOURCE_DIR
# apt-get and dpkg work wholly inside the scratch root: its package database starts as a copy of
# this machine's, so dependencies are resolved against what is installed here, but nothing of
# this machine changes (no files, no apt hooks, no maintainer script actions, no locks).
# lintian must find neither an error nor a warning in any package. The debug symbol packages are
# checked where the build has debug information (not in a Release build).
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
if [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installing packages into a scratch root needs root"
  exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# shellcheck source=consumer.sh
. "$source/tests/packaging/consumer.sh"

echo "== packages"
cpack --config "$build/CPackConfig.cmake" -B "$scratch/packages" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack"; }
debs=("$scratch"/packages/*.deb)
packages=()
for deb in "${debs[@]}"; do
  packages+=("$(dpkg-deb -f "$deb" Package)")
  echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
done
[ "${packages[*]}" = "libostravelk-dev libostravelk1-dialog libostravelk1 ostravelk-tools" ] ||
  fail "packages: ${packages[*]}"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
runtime=$(ls "$scratch"/packages/libostravelk1_*.deb)
dialog=$(ls "$scratch"/packages/libostravelk1-dialog_*.deb)
# Binary dependencies are found by dpkg-shlibdeps: the library's own NEEDED entries. The GUI
# comes with the dialog module only, which the library recommends.
dpkg-deb -f "$runtime" Depends | grep -q 'libc6 (>=' || fail "runtime has no libc6 dependency"
dpkg-deb -f "$runtime" Depends | grep -qi 'qt' && fail "runtime needs Qt"
dpkg-deb -f "$runtime" Recommends | grep -q '^libostravelk1-dialog (= ' ||
  fail "runtime does not recommend the dialog module"
dpkg-deb -f "$dialog" Depends | grep -q 'libqt6widgets6 (>=' || fail "dialog module lacks Qt"
dpkg-deb -f "$dialog" Depends | grep -q 'libostravelk1 (= ' || fail "dialog module lacks the library"

echo "== lintian"
shopt -s nullglob
lintian --fail-on error,warning --tag-display-limit 0 "$scratch"/packages/*.deb \
  "$scratch"/packages/*.ddeb >"$scratch/lintian.log" 2>&1 || { cat "$scratch/lintian.log"; fail "lintian"; }
shopt -u nullglob
echo "no error, no warning; $(grep -c "" "$scratch/lintian.log") informational lines"

# The library ships stripped; its debug information is in the -dbgsym package under its build id.
mkdir -p "$scratch/unpacked"
dpkg-deb -x "$runtime" "$scratch/unpacked/runtime"
library=$(ls "$scratch"/unpacked/runtime/usr/lib/"$multiarch"/libostravelk.so.1.*)
readelf -S "$library" | grep -q '\.debug_info' && fail "library is not stripped"
if ! readelf -S "$build/libostravelk.so.$(dpkg-deb -f "$runtime" Version | sed 's/-.*//')" |
  grep -q '\.debug_info'; then
  ls "$scratch"/packages/*.ddeb >/dev/null 2>&1 && fail "debug symbol packages without debug information"
  echo "debug symbol packages skipped: the build has no debug information (build type $(
    sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt"))"
else
  build_id=$(readelf -n "$library" | sed -n 's/.*Build ID: //p')
  dpkg-deb -x "$(ls "$scratch"/packages/libostravelk1-dbgsym_*.ddeb)" "$scratch/unpacked/dbgsym"
  debug="$scratch/unpacked/dbgsym/usr/lib/debug/.build-id/${build_id:0:2}/${build_id:2}.debug"
  readelf -S "$debug" | grep -q '\.debug_info' || fail "no debug information for build id $build_id"
  echo "library $(stat -c %s "$library") bytes, debug information $(stat -c %s "$debug") bytes"
fi

echo "== apt-get install into a scratch root"
root="$scratch/root"
mkdir -p "$root"/var/lib/dpkg/{info,updates,triggers} "$root"/var/lib/apt/lists/partial \
  "$root"/var/cache/apt/archives/partial "$root"/var/log/apt "$root"/etc/apt/{apt.conf.d,sources.list.d,preferences.d,trusted.gpg.d}
cp /var/lib/dpkg/status "$root/var/lib/dpkg/status"
# The installed packages' file lists are not copied: none of their files is in the scratch root.
dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${binary:Package}\n' |
  while read -r package; do : >"$root/var/lib/dpkg/info/$package.list"; done
cat >"$scratch/apt.conf" <<CONF
Dir::Etc::main "$root/etc/apt/apt.conf";
Dir::Etc::parts "$root/etc/apt/apt.conf.d";
Dir::Etc::sourcelist "$root/etc/apt/sources.list";
Dir::Etc::sourceparts "$root/etc/apt/sources.list.d";
Dir::Etc::preferences "$root/etc/apt/preferences";
Dir::Etc::preferencesparts "$root/etc/apt/preferences.d";
Dir::Etc::trustedparts "$root/etc/apt/trusted.gpg.d";
Dir::State "$root/var/lib/apt";
Dir::State::status "$root/var/lib/dpkg/status";
Dir::Cache "$root/var/cache/apt";
Dir::Log "$root/var/log/apt";
APT::Sandbox::User "root";
DPkg::Options { "--root=$root"; "--force-script-chrootless"; "--log=/dev/null"; };
CONF
apt() { APT_CONFIG="$scratch/apt.conf" DEBIAN_FRONTEND=noninteractive apt-get -q -y "$@"; }
# Everything in the scratch root but the package manager's own bookkeeping.
snapshot() {
  (cd "$root" && find . \( -path ./var/lib/dpkg -o -path ./var/lib/apt -o -path ./var/cache/apt \
    -o -path ./var/log/apt \) -prune -o -print | sort)
}
before=$(snapshot)
(cd "$scratch/packages" && apt install ./*.deb) >"$scratch/apt.log" 2>&1 ||
  { cat "$scratch/apt.log"; fail "apt-get install"; }
for package in "${packages[@]}"; do
  status=$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${db:Status-Abbrev}' "$package")
  [ "$status" = "ii " ] || fail "$package is '$status' after installation"
done

# Every file dpkg lists is there, and nothing else came.
listed=$(for package in "${packages[@]}"; do dpkg --root="$root" -L "$package"; done |
  grep -vx '/\.' | sed 's|^|.|' | sort -u)
while read -r path; do
  [ -e "$root/$path" ] || [ -L "$root/$path" ] || fail "listed but missing: $path"
done <<<"$listed"
unlisted=$(comm -13 <(printf '%s\n' "$before") <(snapshot) | comm -23 - <(printf '%s\n' "$listed"))
[ -z "$unlisted" ] || fail "installed but not listed: $unlisted"
for want in ./usr/lib/udev/rules.d/70-ostravelk-usb3vision.rules \
  ./usr/lib/sysctl.d/60-ostravelk-gige.conf "./usr/lib/$multiarch/libostravelk.so" \
  "./usr/lib/$multiarch/ostravelk/libostravelk-dialog.so" "./usr/lib/$multiarch/pkgconfig/ostravelk.pc" \
  ./usr/bin/ostravelk-host ./usr/share/man/man1/ostravelk-host.1.gz; do
  grep -qx "$want" <<<"$listed" || fail "not installed: $want"
done

echo "== consumers against the installed packages"
libdir="$root/usr/lib/$multiarch"
# The pkg-config file names the plain /usr paths, which pkg-config leaves out as its defaults.
plain=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs ostravelk)
[ "$(echo $plain)" = "-lostravelk" ] || fail "pkg-config for /usr gives '$plain'"
[ "$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --variable=includedir ostravelk)" = /usr/include ] ||
  fail "pkg-config file does not name /usr/include"
build_with_pkgconfig "$libdir/pkgconfig" "$scratch/list_cameras" "$root"
run_lists_cameras "$scratch/list_cameras" "$libdir" LD_LIBRARY_PATH="$libdir"
build_with_cmake "$root/usr" "$scratch/cmake_consumer"
run_lists_cameras "$scratch/cmake_consumer/list_cameras" "$libdir" LD_LIBRARY_PATH="$libdir"
# The installed sample host loads the library by its SONAME, from the system's directory (here
# the scratch root's).
host_lister "$root/usr/bin/ostravelk-host" "$scratch/host_list"
run_lists_cameras "$scratch/host_list" "$libdir" LD_LIBRARY_PATH="$libdir"
echo "each listed: $(expected_cameras | paste -sd ",")"

echo "== apt-get remove, then purge"
apt remove "${packages[@]}" >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log"; fail "apt-get remove"; }
left=$(comm -13 <(printf '%s\n' "$before") <(snapshot))
[ -z "$left" ] || fail "left behind after removal: $left"
# A package with a removal script stays recorded (state rc, no files) until it is purged.
kept=$({ dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${db:Status-Abbrev} ${Package}\n' \
  "${packages[@]}" 2>/dev/null || true; } | sed -n 's/^rc  //p')
echo "no files left; recorded until purged: ${kept:-none}"
if [ -n "$kept" ]; then
  # shellcheck disable=SC2086
  apt purge $kept >"$scratch/apt.log" 2>&1 || { cat "$scratch/apt.log"; fail "apt-get purge"; }
fi
known=$({ dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${db:Status-Abbrev} ${Package}\n' \
  "${packages[@]}" 2>/dev/null || true; } | grep -v '^un ' || true)
[ -z "$known" ] || fail "still known to dpkg after purge: $known"
recorded=$(cd "$root/var/lib/dpkg/info" && find . -name 'libostravelk*' -o -name 'ostravelk*')
[ -z "$recorded" ] || fail "left in the package database: $recorded"
echo "OK"
