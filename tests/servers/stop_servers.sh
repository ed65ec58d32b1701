#!/usr/bin/env bash
# stop_servers.sh STATE_DIR: ends the servers that start_servers.sh started there, by their recorded pids.
state=$(realpath -m "$1")
for name in nginx fault; do
    pidfile="$state/$name.pid"
    [ -f "$pidfile" ] || continue
    pid=$(cat "$pidfile")
    # Each server leads its own session (setsid), so its group holds it and nothing else.
    kill -- -"$pid" 2>/dev/null || kill "$pid" 2>/dev/null
    rm -f "$pidfile"
done
exit 0
