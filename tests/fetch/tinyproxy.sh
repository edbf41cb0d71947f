#!/usr/bin/env bash
# Runs Debian's tinyproxy on 127.0.0.1 for a test program.
#   tinyproxy.sh DIR UPSTREAM
# DIR gets the configuration, tinyproxy's log and, once it listens, the file
# "port" (written whole). UPSTREAM ("127.0.0.1:PORT") is the proxy every
# request is handed on to: the board server's, which knows the test's host
# names; with UPSTREAM empty tinyproxy connects itself (CONNECT tunnels for
# https included). Stops tinyproxy when DIR/port is removed, or after five
# minutes.
set -u
dir=$1
upstream=${2:-}
command -v tinyproxy >/dev/null || { echo "tinyproxy is not installed" > "$dir/problem"; exit 1; }
pid=
for attempt in $(seq 1 20); do
  port=$((20000 + RANDOM % 40000))
  : > "$dir/tinyproxy.log"
  cat > "$dir/tinyproxy.conf" <<CONF
Port $port
Listen 127.0.0.1
Timeout 30
LogFile "$dir/tinyproxy.log"
LogLevel Info
MaxClients 20
Allow 127.0.0.1
CONF
  [ -z "$upstream" ] || echo "Upstream http $upstream" >> "$dir/tinyproxy.conf"
  tinyproxy -d -c "$dir/tinyproxy.conf" >/dev/null 2>&1 &
  pid=$!
  for i in $(seq 1 50); do
    grep -q "Starting main loop" "$dir/tinyproxy.log" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null && grep -q "Starting main loop" "$dir/tinyproxy.log"; then break; fi
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  pid=
done
[ -n "$pid" ] || { echo "tinyproxy did not start" > "$dir/problem"; exit 1; }
echo "$port" > "$dir/port.tmp" && mv "$dir/port.tmp" "$dir/port"
end=$((SECONDS + 300))
while [ -e "$dir/port" ] && [ $SECONDS -lt $end ] && kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
exit 0
