#!/usr/bin/env bash
# Provisions everything the build and the tests need on a Debian 12 machine:
# the Debian packages, and JUCE 8 unpacked into .deps/ inside the checkout.
# Idempotent: when everything is already there it returns in about a second.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export DEBIAN_FRONTEND=noninteractive

packages=(
  build-essential cmake pkg-config git
  libfreetype-dev libfontconfig1-dev libx11-dev libxrandr-dev libxinerama-dev
  libxcursor-dev libxext-dev libxcomposite-dev libxrender-dev libasound2-dev
  libpng-dev libjpeg-dev zlib1g-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth
)

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
fi

# JUCE 8. A system JUCE 8 CMake package, when one is installed, is found by CMake
# first; otherwise the Debian 13 source packages are unpacked locally. They are
# architecture-independent sources plus CMake package files; their prebuilt helper
# programs are never run (they need a newer C library than Debian 12 has).
juce_dir="$root/.deps/juce8"
juce_stamp="$juce_dir/.complete"
juce_suite=trixie
juce_packages=(juce-modules-source-data juce-modules-source)
if [ ! -f "$juce_stamp" ]; then
  echo "setup: fetching JUCE 8 from the Debian $juce_suite archive"
  codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"
  mirror="$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 2>/dev/null \
            | awk -v c="$codename" '$2 == c { print $1; exit }')"
  if [ -z "$mirror" ]; then
    echo "setup: no Debian mirror for '$codename' found in the apt sources" >&2
    exit 1
  fi
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial"
  keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  echo "deb [signed-by=$keyring] $mirror $juce_suite main" > "$work/sources.list"
  apt_opts=(-o "Dir::Etc::SourceList=$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
            -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache"
            -o APT::Sandbox::User=root -qq)
  apt-get "${apt_opts[@]}" update
  (cd "$work" && apt-get "${apt_opts[@]}" download "${juce_packages[@]}")
  rm -rf "$juce_dir"
  mkdir -p "$juce_dir"
  for deb in "$work"/*.deb; do dpkg -x "$deb" "$juce_dir"; done
  ls "$juce_dir"/usr/lib/*/cmake/JUCE-8*/JUCEUtils.cmake >/dev/null
  ls "$juce_dir"/usr/share/juce/modules/juce_audio_processors >/dev/null
  touch "$juce_stamp"
fi
