#!/bin/sh
# package.sh -- one Windows zip: package.sh KERV16.EXE DATA_DIR OUT.zip (kerv16.exe, data/, README.txt)
set -e
exe=$1 data=$2 out=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/kerv16"
cp "$exe" "$dir/kerv16/kerv16.exe"
cp -r "$data" "$dir/kerv16/data"
# Notepad of older Windows wants CR LF line ends.
sed 's/$/\r/' "$(dirname "$0")/README.txt" > "$dir/kerv16/README.txt"
mkdir -p "$(dirname "$out")"
rm -f "$out"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
(cd "$dir" && zip -q -r -X "$out" kerv16)
echo "wrote $out"
