#!/usr/bin/env bash
# Exits 0 when this machine runs 32-bit x86 code, which Wine needs to start the 32-bit product;
# prints the probe's answer (scripts/probe-32bit-code.c).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cc -no-pie -O1 -o "$scratch/probe" "$here/probe-32bit-code.c"
"$scratch/probe"
