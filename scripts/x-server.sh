# x-server.sh: sourced by the with-*.sh scripts. start_x_server SERVER [ARGS...] starts an X server that
# picks a free display itself (-displayfd), waits until it takes connections, exports DISPLAY, and stops it by
# its process id when the sourcing script exits, however that ends. $x_work is a scratch folder removed then.
x_work="$(mktemp -d)"
x_pid=""
stop_x_server() {
  if [ -n "$x_pid" ]; then
    kill "$x_pid" 2>/dev/null || true
    wait "$x_pid" 2>/dev/null || true
  fi
  rm -rf "$x_work"
}
trap stop_x_server EXIT

start_x_server() {
  local name="$1"
  "$@" -displayfd 3 -nolisten tcp 3>"$x_work/display" >"$x_work/server.log" 2>&1 </dev/null &
  x_pid=$!
  for _ in $(seq 100); do
    [ -s "$x_work/display" ] && break
    kill -0 "$x_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$x_work/display" ]; then
    cat "$x_work/server.log" "$x_work/log" >&2 2>/dev/null || true
    echo "$(basename "$0"): $name did not start" >&2
    exit 1
  fi
  export DISPLAY=":$(head -n1 "$x_work/display")"
}
