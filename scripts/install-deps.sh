#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian machine, when missing:
# CMake, the host compiler, clang 19 and lld 19 with the MinGW-w64 i686 and
# x86-64 runtimes and GCC libraries for the Windows builds, 32-bit and 64-bit
# Wine, GoogleTest's sources, CLI11's headers, for the packages and their host
# checks clang, lld, the LLVM tools and zip, osslsigncode and openssl for
# the packages' signatures, and the static analysers clang-tidy and cppcheck.
# For the window test and the demo's window without a display: Xvfb, and
# xwininfo, xwd and netpbm to save the window as a PNG.
# The Chinese locale zh_CN.UTF-8, under which Wine runs programs with the
# Chinese ANSI code page (936) and still names Linux files in UTF-8.
# On a kernel that runs no 32-bit Linux programs, it has QEMU's user-mode
# emulator run them, so that 32-bit Wine starts.
set -euo pipefail

packages=(cmake make g++ googletest clang-19 lld-19 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
          g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64
          binutils-mingw-w64-i686 wine wine32 libc-bin libcli11-dev clang lld llvm zip unzip
          clang-tidy cppcheck locales osslsigncode openssl xvfb x11-utils x11-apps netpbm)

missing=()
for package in "${packages[@]}"; do
    arch_package=$package
    [ "$package" = wine32 ] && arch_package=wine32:i386
    dpkg-query -W -f='${Status}' "$arch_package" 2>/dev/null | grep -q "install ok installed" || missing+=("$arch_package")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo

# Some kernels (virtual machines without 32-bit user mode) refuse every i386
# program with "Exec format error", 32-bit Wine's loader among them. There
# QEMU's user-mode emulator is registered as the interpreter of i386 programs.
# Only QEMU 8 or later will do: before it, every memory mapping a program asks
# for is searched page by page, and a 32-bit Wine program takes minutes to
# start instead of a second; Debian 12 has QEMU 10 in its backports. Debian's
# own registration leaves i386 out on amd64, where it is expected to run
# natively, so the entry is written here with the magic and mask QEMU uses.
binfmt=/proc/sys/fs/binfmt_misc
qemu_i386=/usr/bin/qemu-i386

runs_i386_programs() {
    /lib/ld-linux.so.2 --version >/dev/null 2>&1
}
qemu_user_major() {
    local version
    version=$(dpkg-query -W -f='${Version}' "$1" 2>/dev/null) || version=
    version=${version#*:}
    echo "${version%%.*}"
}
# The archive this machine already takes the release itself from, so that the
# backports come through the same mirror or proxy.
debian_mirror() {
    apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 2>/dev/null |
        awk -v release="$1" '$2 == release { print $1; exit }'
}
install_recent_qemu_user() {
    [ "$(qemu_user_major qemu-user)" -ge 8 ] 2>/dev/null && return 0
    local codename mirror
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    mirror=$(debian_mirror "$codename")
    [ -n "$mirror" ] || { echo "no Debian source for $codename in the apt configuration" >&2; return 1; }
    echo "deb $mirror ${codename}-backports main" |
        $sudo tee /etc/apt/sources.list.d/${codename}-backports.list >/dev/null
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends \
        -t "${codename}-backports" qemu-user
}
emulate_i386_programs() {
    if [ -e $binfmt/qemu-i386 ]; then
        grep -qx "interpreter $qemu_i386" $binfmt/qemu-i386 && [ "$(qemu_user_major qemu-user)" -ge 8 ] &&
            runs_i386_programs && return 0
    else
        runs_i386_programs && return 0
    fi
    install_recent_qemu_user
    [ -f $binfmt/register ] || $sudo mount -t binfmt_misc binfmt_misc $binfmt
    if [ -e $binfmt/qemu-i386 ]; then echo -1 | $sudo tee $binfmt/qemu-i386 >/dev/null; fi
    printf '%s' ":qemu-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$qemu_i386:POCF" |
        $sudo tee $binfmt/register >/dev/null
    runs_i386_programs || { echo "i386 programs cannot run here, not even under qemu-i386" >&2; return 1; }
    echo "i386 programs run under $($qemu_i386 --version | head -n 1) on this kernel"
}

make_chinese_locale() {
    locale -a | grep -qix 'zh_CN.utf-\?8' || $sudo localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
}

if [ ${#missing[@]} -eq 0 ]; then
    emulate_i386_programs
    make_chinese_locale
    exit 0
fi

echo "Installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
emulate_i386_programs
make_chinese_locale
