#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian machine, when missing:
# CMake, the host compiler, the MinGW-w64 i686 and x86-64 cross compilers,
# 32-bit and 64-bit Wine, GoogleTest's sources, CLI11's headers, for the
# packages and their host checks clang, lld, the LLVM tools and zip, and the
# static analysers clang-tidy and cppcheck.
set -euo pipefail

packages=(cmake make g++ googletest g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64
          binutils-mingw-w64-i686 wine wine32 libc-bin libcli11-dev clang lld llvm zip unzip
          clang-tidy cppcheck)

missing=()
for package in "${packages[@]}"; do
    arch_package=$package
    [ "$package" = wine32 ] && arch_package=wine32:i386
    dpkg-query -W -f='${Status}' "$arch_package" 2>/dev/null | grep -q "install ok installed" || missing+=("$arch_package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
