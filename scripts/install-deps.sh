#!/usr/bin/env bash
# Installs the Debian packages of one group; idempotent, it does nothing when
# every package of the group is already installed.
#
#   scripts/install-deps.sh demo     the Linux program, the substitute service
#                                    and their build (make, make demo)
#   scripts/install-deps.sh windows  the cross toolchains and the headers the
#                                    Windows build reads (make windows)
#   scripts/install-deps.sh [test]   everything the tests need: the above, the
#                                    Firebird server, X tools, Wine (make test)
#   scripts/install-deps.sh fuzz     the tests' group and clang with its fuzzer
#                                    runtime (make fuzz)
#   scripts/install-deps.sh wine32   the tests' group and 32-bit Wine with the
#                                    i386 pieces of the 32-bit import test
set -euo pipefail

group=${1:-test}

demo_packages=(
  g++ make cmake pkg-config
  libcurl4-openssl-dev libssl-dev openssl ca-certificates
  rapidjson-dev libcpp-httplib-dev
  # The client library, the embedded engine that opens a database file, and
  # isql-fb, with which the demo creates its database and shows its rows.
  libfbclient2 firebird-dev firebird3.0-server-core firebird3.0-utils
  qt6-base-dev qt6-qpa-plugins
)
# The client library's header and RapidJSON come from Debian's packages on
# the Windows side too.
windows_packages=(
  cmake make firebird-dev rapidjson-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
)
test_packages=(
  "${demo_packages[@]}" "${windows_packages[@]}"
  libgtest-dev
  # The private server the server tests and the benchmark start.
  firebird3.0-server
  libx11-dev xvfb trayer xdotool x11-utils imagemagick fonts-dejavu-core
  # The Windows build's tests under Wine.
  googletest zip wine wine64 wine64-tools libwine-dev
)

wine32_requested=false
case $group in
  demo) packages=("${demo_packages[@]}") ;;
  windows) packages=("${windows_packages[@]}") ;;
  test) packages=("${test_packages[@]}") ;;
  fuzz) packages=("${test_packages[@]}" clang libclang-rt-14-dev) ;;
  # Running the 32-bit exe under Wine takes i386 packages (231 MB, and an
  # architecture added to the system), so only on request: where the kernel
  # runs no 32-bit programs they cannot be used, and then the 32-bit Wine
  # tests say they are skipped.
  wine32)
    wine32_requested=true
    packages=("${test_packages[@]}" gcc-multilib libwine-dev:i386 libfbclient2:i386 firebird3.0-server-core:i386)
    ;;
  *)
    echo "Unknown group '$group': demo, windows, test, fuzz or wine32" >&2
    exit 2
    ;;
esac

is_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
for p in "${packages[@]}"; do
  is_installed "$p" || missing+=("$p")
done

# 32-bit Wine only where this kernel runs 32-bit programs: once installed,
# Debian's `wine` starts every program through the 32-bit loader, so on a
# kernel without them (some containers and sandboxes) it would break the
# 64-bit tests as well. Asked only once the 32-bit compiler is here.
runs_32_bit_programs() {
  local probe
  probe=$(mktemp -d)
  echo 'int main(void) { return 0; }' > "$probe/probe.c"
  gcc -m32 -o "$probe/probe" "$probe/probe.c" 2>/dev/null && "$probe/probe" 2>/dev/null
  local status=$?
  rm -rf "$probe"
  return $status
}
want_wine32() {
  $wine32_requested && ! is_installed wine32:i386 && is_installed gcc-multilib && runs_32_bit_programs
}

if [ ${#missing[@]} -eq 0 ] && ! want_wine32; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "These Debian packages are missing: ${missing[*]}${missing[*]:+ }$(want_wine32 && echo wine32:i386)" >&2
  echo "Install them as root (sudo $0 $group), or run make as root." >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
# Firebird's i386 libib-util ships a lintian override that differs from the
# amd64 one, and dpkg refuses to co-install them; the file does nothing at
# run time.
dpkg_options=(-o Dpkg::Options::=--path-exclude=/usr/share/lintian/overrides/libib-util)
if $wine32_requested && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${dpkg_options[@]}" "${missing[@]}"
fi
if want_wine32; then
  echo "Installing: wine32:i386"
  apt-get install -y -qq --no-install-recommends "${dpkg_options[@]}" wine32:i386
elif $wine32_requested && ! is_installed wine32:i386; then
  echo "Not installing wine32: this kernel runs no 32-bit programs; the 32-bit Wine tests will be skipped."
fi
