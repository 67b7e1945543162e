#!/bin/sh
# Installs the Debian packages listed in tools/deps/*.txt that are not installed yet.
# Idempotent: a machine that has everything runs no apt command at all.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
wanted=$(cat "$here"/deps/*.txt | sed 's/#.*//' | tr -s ' \t' '\n' | sed '/^$/d' | sort -u)
missing=""
for pkg in $wanted; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
    [ "$status" = "installed" ] || missing="$missing $pkg"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
