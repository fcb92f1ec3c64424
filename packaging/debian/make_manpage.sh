#!/bin/bash
# Writes the manual page of the sample host from its own help text, compressed as Debian wants.
#   make_manpage.sh HOST VERSION OUT.1.gz
set -euo pipefail
host=$1
version=$2
out=$3
help=$("$host" --help)
{
  echo ".TH OSTRAVELK-HOST 1 \"\" \"ostravelk-host $version\" \"User Commands\""
  echo ".SH NAME"
  echo "ostravelk-host \\- list, configure and grab from cameras through the Ostravelk library"
  echo ".SH DESCRIPTION"
  echo "\\fBostravelk-host\\fR is the sample host of the Ostravelk camera driver library. It"
  echo "loads the library and drives cameras through the library's exported functions."
  echo "Its help text follows."
  echo ".PP"
  echo ".nf"
  # Backslashes and dashes escaped; a line starting with a dot or a quote kept as text.
  sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\\([.']\\)/\\\\\\&\\1/" <<<"$help"
  echo ".fi"
  echo ".SH ENVIRONMENT"
  echo ".TP"
  echo ".B OSTRAVELK_LIBRARY"
  echo "the driver library to load instead of the installed one"
  echo ".TP"
  echo ".B OSTRAVELK_SIM_DIR"
  echo "a directory of simulated camera files"
  echo ".TP"
  echo ".B OSTRAVELK_BACKENDS"
  echo "the camera backends to use (sim, aravis), comma-separated"
} | gzip -9n >"$out"
