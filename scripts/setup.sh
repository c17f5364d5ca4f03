#!/usr/bin/env bash
# Installs what building needs (cmake, g++, make), only what is missing (Debian packages);
# with --tests also what the tests and benchmarks need (GoogleTest, Google Benchmark, tmux).
# Further arguments name more packages.
#   setup.sh [--tests] [PACKAGE]...
set -euo pipefail

packages=(cmake g++ make)
if [ "${1:-}" = --tests ]; then
  packages+=(libgtest-dev libbenchmark-dev tmux)
  shift
fi

needed=()
have_package() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
for package in "${packages[@]}" "$@"; do
  have_package "$package" || needed+=("$package")
done

if [ "${#needed[@]}" -gt 0 ]; then
  echo "Installing: ${needed[*]}"
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${needed[@]}"
fi
