#!/bin/bash
# Finishes the debug symbol packages CPack makes, as Debian's own tools would: the md5sums name
# the files inside the package (CPack writes the paths of its staging directory), the debug files
# are not executable, and /usr/share/doc/PACKAGE-dbgsym leads to the documentation (copyright,
# changelog) of the package whose symbols they are, on which the debug package depends exactly.
#   finish_dbgsym.sh FILE.ddeb...
set -euo pipefail
for ddeb in "$@"; do
  work=$(mktemp -d)
  dpkg-deb -R "$ddeb" "$work/root"
  package=$(sed -n 's/^Package: //p' "$work/root/DEBIAN/control")
  target=${package%-dbgsym}
  find "$work/root/usr/lib/debug" -type f -exec chmod 0644 {} +
  mkdir -p "$work/root/usr/share/doc"
  ln -sfn "$target" "$work/root/usr/share/doc/$package"
  (cd "$work/root" && find usr -type f -exec md5sum {} + | sort -k2) >"$work/root/DEBIAN/md5sums"
  chmod 0644 "$work/root/DEBIAN/md5sums"
  dpkg-deb --root-owner-group -Zxz -b "$work/root" "$ddeb" >/dev/null
  rm -rf "$work"
done
