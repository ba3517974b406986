#!/usr/bin/env bash
# Sets up the machine, builds Vovuza.vst3, installs it for the current user in
# ~/.vst3 and loads the installed copy in a small VST3 host to show that it works.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VOVUZA_BUILD_DIR:-$root/build}"

bash "$root/tools/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --target Vovuza_VST3 vovuza_probe -j "$(nproc)"

bundle="$(find "$build" -path '*VST3/Vovuza.vst3' -type d -prune | head -n 1)"
dest="$HOME/.vst3"
mkdir -p "$dest"
rm -rf "$dest/Vovuza.vst3"
cp -R "$bundle" "$dest/"
echo "Installed $dest/Vovuza.vst3"

probe="$build/vovuza_probe"
"$probe" "$dest/Vovuza.vst3"
