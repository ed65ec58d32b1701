#!/usr/bin/env bash
# start_servers.sh STATE_DIR [LIFETIME_SECONDS]: starts nginx (static files, ranges) and the fault server
# on free ports of 127.0.0.1 for the download tests, and writes STATE_DIR/ports.txt:
#   nginx=PORT
#   fault=PORT
# Both servers end by themselves after LIFETIME seconds (default 900) should stop_servers.sh never run.
set -euo pipefail
state=$(realpath -m "$1")
lifetime=${2:-900}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

"$here/stop_servers.sh" "$state" || true
rm -rf "$state"
mkdir -p "$state/nginx/logs" "$state/nginx/temp" "$state/www" "$state/requests"

# The files nginx serves: each byte is its position modulo 251, as the fault server's bodies.
python3 - "$state/www" <<'PY'
import os, sys
for name, size in (("small.bin", 3000), ("payload.bin", 100000), ("exact.bin", 20480)):
    with open(os.path.join(sys.argv[1], name), "wb") as f:
        f.write(bytes(i % 251 for i in range(size)))
PY

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Fault server first: it picks its own port and reports it.
setsid timeout "$lifetime" python3 "$here/fault_server.py" "$state" "$state/fault.port" "$lifetime" \
    >"$state/fault.log" 2>&1 </dev/null &
echo $! >"$state/fault.pid"

# nginx in the foreground of its own process (no master, no daemon), so one pid owns it; a port taken
# between choosing and binding is retried.
user_line=""
[ "$(id -u)" = 0 ] && user_line="user $(id -un);"
for attempt in 1 2 3 4 5; do
    port=$(free_port)
    cat >"$state/nginx/nginx.conf" <<CONF
$user_line
daemon off;
master_process off;
worker_processes 1;
pid $state/nginx/nginx.pid;
error_log $state/nginx/logs/error.log;
events { worker_connections 64; }
http {
    access_log $state/nginx/logs/access.log;
    client_body_temp_path $state/nginx/temp/body;
    proxy_temp_path $state/nginx/temp/proxy;
    fastcgi_temp_path $state/nginx/temp/fastcgi;
    uwsgi_temp_path $state/nginx/temp/uwsgi;
    scgi_temp_path $state/nginx/temp/scgi;
    default_type application/octet-stream;
    server {
        listen 127.0.0.1:$port;
        root $state/www;
        # The same files at a walking pace, so a person or a screenshot can watch a download.
        location /slow/ {
            alias $state/www/;
            limit_rate 64k;
        }
    }
}
CONF
    setsid timeout "$lifetime" nginx -p "$state/nginx" -c "$state/nginx/nginx.conf" -e "$state/nginx/logs/error.log" \
        >"$state/nginx.log" 2>&1 </dev/null &
    echo $! >"$state/nginx.pid"
    for _ in $(seq 50); do
        if python3 -c "import socket,sys; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null; then
            break 2
        fi
        kill -0 "$(cat "$state/nginx.pid")" 2>/dev/null || break
        sleep 0.1
    done
    kill "$(cat "$state/nginx.pid")" 2>/dev/null || true
    port=""
done
[ -n "${port:-}" ] || { echo "start_servers: nginx did not start" >&2; cat "$state/nginx/logs/error.log" >&2; exit 1; }

for _ in $(seq 100); do [ -f "$state/fault.port" ] && break; sleep 0.1; done
[ -f "$state/fault.port" ] || { echo "start_servers: fault server did not start" >&2; cat "$state/fault.log" >&2; exit 1; }

printf 'nginx=%s\nfault=%s\n' "$port" "$(cat "$state/fault.port")" >"$state/ports.part"
mv "$state/ports.part" "$state/ports.txt"
cat "$state/ports.txt"
