#!/usr/bin/env bash
# Installs every system package that building, running and testing ZarvoQ7TR needs, and the udev
# rule that lets the logged-in user open the microphone. Idempotent: a second run installs nothing
# and only refreshes the package lists when something is missing.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config ccache clang-format
  juce-modules-source
  libfreetype-dev libfontconfig1-dev libx11-dev libxrandr-dev libxinerama-dev libxcursor-dev
  libxext-dev libpng-dev libjpeg-dev
  libhidapi-dev libudev-dev
  # the panel typeface is fetched from the npm registry at build time
  npm
  # tests
  googletest libgtest-dev libgmock-dev
  libfuse3-dev fuse3
  xvfb xauth imagemagick xdotool x11-utils desktop-file-utils appstream
  # the sanitized test run (scripts/test-sanitized.sh): clang, and its runtimes by name, since the
  # fuzzer runtime is only a recommended package and packages are installed without recommends
  clang libclang-rt-14-dev
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing=()
for p in "${packages[@]}"; do
  # npm may come with the machine's own Node.js rather than from Debian: a working command is enough.
  if [ "$p" = npm ] && command -v npm >/dev/null 2>&1; then
    continue
  fi
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
rule_src="$here/resources/linux/70-zarvo-q7tr.rules"
rule_dst=/etc/udev/rules.d/70-zarvo-q7tr.rules
if [ -f "$rule_src" ] && ! cmp -s "$rule_src" "$rule_dst" 2>/dev/null; then
  "${sudo_cmd[@]}" install -D -m 0644 "$rule_src" "$rule_dst"
  # Only where udevd runs (not in containers or CI) is there anything to reload.
  if command -v udevadm >/dev/null 2>&1 && udevadm control --ping >/dev/null 2>&1; then
    "${sudo_cmd[@]}" udevadm control --reload-rules || true
    "${sudo_cmd[@]}" udevadm trigger --subsystem-match=hidraw || true
  fi
fi
