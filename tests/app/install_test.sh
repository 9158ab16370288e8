#!/usr/bin/env bash
# Installs the built tree into a scratch prefix and checks what a Linux desktop needs there: the
# executable, a valid desktop entry, valid AppStream metainfo, the hicolor icons in their sizes and,
# once it exists, the udev rule in a place where its uaccess tag takes effect.
set -euo pipefail
build=$1
source_dir=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

[ -x "$prefix/bin/ZarvoQ7TR" ] || fail "no executable bin/ZarvoQ7TR"

entry=$prefix/share/applications/ZarvoQ7TR.desktop
[ -f "$entry" ] || fail "no desktop entry"
desktop-file-validate "$entry" || fail "desktop entry does not validate"
grep -qx 'Name=ZarvoQ7TR' "$entry" || fail "desktop entry: Name"
grep -qx 'Exec=ZarvoQ7TR' "$entry" || fail "desktop entry: Exec"
grep -qx 'Icon=ZarvoQ7TR' "$entry" || fail "desktop entry: Icon"
# The window's WM_CLASS is the application name.
grep -qx 'StartupWMClass=ZarvoQ7TR' "$entry" || fail "desktop entry: StartupWMClass"

metainfo=$prefix/share/metainfo/ZarvoQ7TR.metainfo.xml
[ -f "$metainfo" ] || fail "no metainfo"
# Errors fail; the one warning (an id that is not reverse-DNS) is accepted.
report=$(appstreamcli validate --no-net --no-color "$metainfo" || true)
if grep -q '^E:' <<<"$report"; then
  echo "$report" >&2
  fail "metainfo does not validate"
fi
grep -q '<release version="1.0.0"' "$metainfo" || fail "metainfo: release 1.0.0"
grep -q '<launchable type="desktop-id">ZarvoQ7TR.desktop</launchable>' "$metainfo" || fail "metainfo: launchable"

for size in 16 24 32 48 64 256; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/ZarvoQ7TR.png
  [ -f "$icon" ] || fail "no ${size}x${size} icon"
  [ "$(identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || fail "icon $icon is not ${size}x${size}"
done

rule_src=$source_dir/resources/linux/70-zarvo-q7tr.rules
if [ -f "$rule_src" ]; then
  rules=("$prefix"/lib/udev/rules.d/*.rules)
  [ ${#rules[@]} -eq 1 ] && [ -f "${rules[0]}" ] || fail "udev rule not installed under lib/udev/rules.d"
  cmp -s "$rule_src" "${rules[0]}" || fail "installed udev rule differs from $rule_src"
  # uaccess is acted on by 73-seat-late.rules: the rule has to sort before it.
  name=$(basename "${rules[0]}")
  [[ "$name" < "73-seat-late.rules" ]] || fail "udev rule $name sorts after 73-seat-late.rules"
fi
echo "install: OK"
