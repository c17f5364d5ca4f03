#!/usr/bin/env bash
# Installs what building and testing need, only what is missing (Debian packages).
set -euo pipefail

needed=()
have_package() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
for package in cmake g++ make libgtest-dev libbenchmark-dev tmux "$@"; do
  have_package "$package" || needed+=("$package")
done

if [ "${#needed[@]}" -gt 0 ]; then
  echo "Installing: ${needed[*]}"
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${needed[@]}"
fi
