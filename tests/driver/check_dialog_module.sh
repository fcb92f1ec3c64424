#!/bin/bash
# The driver library needs no GUI: no Qt library is among its dependencies. The configuration
# dialog module holds the Qt widgets and exports its entry only.
#   check_dialog_module.sh LIBRARY MODULE
set -eu
library=$1
module=$2
for file in "$library" "$module"; do
    [ -f "$file" ] || { echo "no such file: $file"; exit 1; }
done
needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p'; }
qt=$(needed "$library" | grep -i 'qt' || true)
if [ -n "$qt" ]; then
    echo "the library needs Qt: $(echo $qt)"
    exit 1
fi
needed "$module" | grep -qx 'libQt6Widgets\.so\.6' || { echo "the module does not need Qt Widgets"; exit 1; }
exports=$(nm -D --defined-only "$module" | awk '$2 ~ /^[TtWwDdBbRrVviu]$/ {print $3}' |
          sed 's/@.*//' | grep -v '^OSTRAVELK_' | sort)
[ "$exports" = "ostravelk_dialog_run" ] || { echo "the module exports: $(echo $exports)"; exit 1; }
echo "library needs $(needed "$library" | paste -sd ' '); module exports ostravelk_dialog_run"
