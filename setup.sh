#!/usr/bin/env bash
# One entry for everything a fresh Debian 12 machine needs:
#   ./setup.sh run          build and start the desktop client on the embedded sample organisation
#                           (no display: served to a VNC viewer through an SSH tunnel)
#   ./setup.sh test [asan]  build and run the tests (asan: with AddressSanitizer and UBSan)
#   ./setup.sh build [PRESET]
#   ./setup.sh fuzz [SECONDS]  build the libFuzzer targets with clang and run each briefly
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libsqlite3-dev zlib1g-dev libsodium-dev libasio-dev libssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libpq-dev postgresql
  tigervnc-standalone-server tigervnc-tools xauth
  redis-server redis-tools
)
FUZZ_PACKAGES=(clang libclang-rt-14-dev)

install_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build() {
  local preset="$1"
  install_packages "${PACKAGES[@]}"
  [ "$preset" = fuzz ] && install_packages "${FUZZ_PACKAGES[@]}"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$(nproc)"
}

cmd="${1:-help}"
case "$cmd" in
  build)
    build "${2:-default}"
    ;;
  test)
    preset="${2:-default}"
    build "$preset"
    ctest --preset "$preset" -j "$(nproc)"
    ;;
  run)
    build default
    shift
    # A platform chosen on purpose (QT_QPA_PLATFORM) is left to Qt.
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
      echo "Pictures of every dialog: $PWD/docs/screenshots/ (new ones: hrzhost --screenshot DIR)."
      exec host/app/serve_vnc.sh build/default/host/app/hrzhost "$@"
    fi
    exec build/default/host/app/hrzhost "$@"
    ;;
  fuzz)
    build fuzz
    secs="${2:-20}"
    for f in build/fuzz/tests/fuzz/fuzz_*; do
      [ -x "$f" ] || continue
      echo "== $f"
      "$f" -max_total_time="$secs" -print_final_stats=0 2>&1 | tail -n 2
    done
    ;;
  *)
    sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
    ;;
esac
