#!/bin/sh
# Installs the real photographs the decoding benchmark reads: Debian's wallpaper packages hold
# photos of 4 to 15 megapixels. Only what is missing is installed.
set -eu
missing=""
for p in plasma-workspace-wallpapers gnome-backgrounds libjpeg-turbo-progs; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "decode_setup: installing$missing"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends $missing
