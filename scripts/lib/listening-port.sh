# Sourced by the demo and the benchmarks.
#
# listening_port OUTPUT PID SECONDS: waits until the server started as PID
# writes "listening on 127.0.0.1:<port>" into OUTPUT, then prints the port.
# Fails when the server exits first or SECONDS pass without the line (a store
# that makes a large chart set writes it before it listens).
listening_port() {
  local output=$1 pid=$2 seconds=$3 port=""
  for _ in $(seq 1 $((seconds * 10))); do
    port=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$output" 2> /dev/null)
    [ -n "$port" ] && { echo "$port"; return 0; }
    kill -0 "$pid" 2> /dev/null || return 1
    sleep 0.1
  done
  return 1
}
