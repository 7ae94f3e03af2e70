#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, when any is missing.
# Usage: scripts/install-deps.sh [tests|main]
set -euo pipefail

# The MSVC-mode check uses clang 19 (clang-cl-19; llvm-rc-19 and llvm-lib-19 from
# llvm-19; clang-query-19 from clang-tools-19); everything else builds with Debian's
# default clang 14 or GCC.
packages=(cmake ninja-build g++ clang clang-format clang-tidy libclang-rt-14-dev libgtest-dev libgmock-dev googletest
  clang-19 llvm-19 clang-tools-19 libbenchmark-dev nlohmann-json3-dev g++-mingw-w64-x86-64-posix wine64 xvfb
  x11-utils imagemagick python3)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
