#!/bin/bash
# The shared library exports exactly the host functions of the version script.
set -eu
library=$1
map=$2
expected=$(sed -n 's/^ *\([A-Za-z_][A-Za-z0-9_]*\);$/\1/p' "$map" | sort)
actual=$(nm -D --defined-only "$library" | awk '$2 ~ /^[TtWwDdBbRrVviu]$/ {print $3}' \
         | sed 's/@.*//' | grep -v '^OSTRAVELK_' | sort)
if [ "$expected" != "$actual" ]; then
    echo "exported symbols differ from the host interface:"
    diff -u <(echo "$expected") <(echo "$actual") 2>/dev/null || {
        echo "expected:"; echo "$expected"; echo "actual:"; echo "$actual"; }
    exit 1
fi
count=$(echo "$actual" | wc -l)
[ "$count" -eq 18 ] || { echo "expected 18 exports, found $count"; exit 1; }
soname=$(objdump -p "$library" | awk '/SONAME/ {print $2}')
case "$soname" in
    libostravelk.so.[0-9]*) ;;
    *) echo "unexpected SONAME: $soname"; exit 1 ;;
esac
echo "18 exports, SONAME $soname"
