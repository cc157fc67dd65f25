#!/usr/bin/env bash
# Runs a program on a private X display that a VNC viewer can reach, for machines without a
# display of their own:
#   host/app/serve_vnc.sh PROGRAM [ARGUMENTS...]
# The display (TigerVNC's Xtigervnc) listens on the loopback interface only and asks for a
# password made for this run, so it is reached through an SSH tunnel and by nobody else on
# the network; its X socket needs a cookie as well. Everything ends with the program.
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 PROGRAM [ARGUMENTS...]" >&2
  exit 2
fi
for tool in Xtigervnc tigervncpasswd xauth; do
  if ! command -v "$tool" >/dev/null; then
    echo "$0: $tool is missing (Debian: tigervnc-standalone-server tigervnc-tools xauth)" >&2
    exit 2
  fi
done

folder=$(mktemp -d "${TMPDIR:-/tmp}/hrz-vnc.XXXXXX")  # mode 0700
server=""
program=""
stop() {  # $1: process id, may be empty
  if [ -n "$1" ]; then
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
  fi
}
cleanup() {
  stop "$program"
  stop "$server"
  rm -rf "$folder"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

random_letters() {  # $1 letters and digits from the kernel's random source
  local letters=""
  while [ ${#letters} -lt "$1" ]; do
    letters+=$(head -c 48 /dev/urandom | base64 | tr -dc 'A-Za-z0-9')
  done
  printf '%s' "${letters:0:$1}"
}

# VNC passwords are at most eight characters long.
password=$(random_letters 8)
printf '%s\n' "$password" | tigervncpasswd -f >"$folder/passwd"

port_listens() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# Display and port are taken first come, first served; another server may win the race
# between the check and the start, and then the next pair is tried.
display=0
port=5899
for attempt in $(seq 1 20); do
  display=$((display + 1))
  while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
    display=$((display + 1))
  done
  port=$((port + 1))
  while port_listens "$port"; do port=$((port + 1)); done

  : >"$folder/Xauthority"
  xauth -q -f "$folder/Xauthority" add ":$display" MIT-MAGIC-COOKIE-1 \
    "$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')"
  Xtigervnc ":$display" -auth "$folder/Xauthority" -nolisten tcp \
    -geometry 1280x800 -depth 24 -desktop "$(basename "$1")" \
    -localhost=1 -rfbport "$port" -AlwaysShared=1 \
    -SecurityTypes VncAuth -PasswordFile "$folder/passwd" >"$folder/server.log" 2>&1 &
  server=$!
  ready=0
  for _ in $(seq 1 100); do
    if grep -qs "Listening for VNC connections" "$folder/server.log" &&
      [ -S "/tmp/.X11-unix/X$display" ]; then
      ready=1
      break
    fi
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
  done
  [ "$ready" = 1 ] && break
  stop "$server"
  server=""
  if [ "$attempt" = 20 ]; then
    echo "$0: the VNC display did not start:" >&2
    cat "$folder/server.log" >&2
    exit 1
  fi
done

# Over SSH the address the user came in by is the one to tunnel to.
host=$(hostname -f 2>/dev/null || hostname)
if [ -n "${SSH_CONNECTION:-}" ]; then
  read -r _ _ host _ <<<"$SSH_CONNECTION"
fi
cat <<EOF
No display here: $(basename "$1") runs on a VNC display at 127.0.0.1:$port (loopback only).
  1. From your computer:  ssh -N -L $port:localhost:$port $(id -un)@$host
  2. Open a VNC viewer at localhost:$port with the password $password
The display closes when the program ends (close its window, or press Ctrl+C here).
EOF

# Started in the background so that a signal to this script ends the program as well.
DISPLAY=":$display" XAUTHORITY="$folder/Xauthority" "$@" &
program=$!
status=0
wait "$program" || status=$?
program=""
exit "$status"
