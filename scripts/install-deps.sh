#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; with
# the argument "fuzz" also clang and its fuzzer runtime for `make fuzz`.
# Idempotent: does nothing when every package is already installed.
set -euo pipefail

packages=(
  build-essential cmake pkg-config make
  libgtest-dev
  libcurl4-openssl-dev libssl-dev openssl ca-certificates
  rapidjson-dev libcpp-httplib-dev
  libfbclient2 firebird-dev firebird3.0-server-core firebird3.0-utils firebird3.0-server
  qt6-base-dev qt6-qpa-plugins libx11-dev
  xvfb trayer xdotool x11-utils imagemagick fonts-dejavu-core
  # The Windows build (make windows) and its tests under Wine.
  g++-mingw-w64-x86-64-posix googletest zip
  wine wine64 wine64-tools libwine-dev
)
if [ "${1:-}" = fuzz ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "These Debian packages are missing: ${missing[*]}" >&2
  echo "Install them as root (sudo $0), or run 'make' as root." >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
