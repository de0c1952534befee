#!/usr/bin/env bash
# Builds the two downloads for Windows users into out/: quorvant-<version>-x64.msi, the
# installer, and quorvant-<version>-x64.zip, the portable folder. Sets up what is missing
# first, like the other scripts.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh" win64

version=$(sed -n 's/.*define Version = "\(.*\)".*/\1/p' "$root/build/win64/skin/product.wxi")
base=$root/build/win64/package/quorvant-$version-x64
built=("$base.msi" "$base.zip")
for file in "${built[@]}"; do
  [[ -f $file ]] || { echo "package.sh: $file was not built (is wixl installed?)" >&2; exit 1; }
done
mkdir -p "$root/out"
cp "${built[@]}" "$root/out/"
for file in "${built[@]}"; do echo "package.sh: out/$(basename "$file")"; done
