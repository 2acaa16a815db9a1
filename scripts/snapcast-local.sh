#!/usr/bin/env bash
# A Snapcast server and N clients on this machine, all on 127.0.0.1 with private ports, for the
# tests and the benchmarks (and for trying the network output by hand):
#
#   scripts/snapcast-local.sh start DIR BASE_PORT N [BUFFER_MS]
#   scripts/snapcast-local.sh client DIR BASE_PORT NAME [PLAYER [DEVICE]]  # one more client
#                                      (PLAYER "pulse" and DEVICE a sink's name: into that sink)
#   scripts/snapcast-local.sh server-stop DIR               # the server away, clients kept
#   scripts/snapcast-local.sh server-start DIR              # and back, with the same settings
#   scripts/snapcast-local.sh stop DIR
#
# Ports: BASE_PORT the stream Chimeon writes to (tcp source, server mode), BASE_PORT+1 the
# clients' port, BASE_PORT+2 the JSON-RPC control port. Client K ("client1".."clientN") plays
# into DIR/clientK.raw (raw 48000:16:2, written in real time). The processes' ids are in DIR/pids.
set -euo pipefail
command=${1:?start, client or stop}
dir=${2:?a folder}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

start_client() {
    local port=$1 name=$2 player=${3:-file:filename=$dir/$2.raw} device=${4:-default}
    snapclient -h 127.0.0.1 -p "$((port + 1))" --hostID "$name" --logsink null \
        --player "$player" -s "$device" >"$dir/$name.log" 2>&1 &
    echo $! >>"$dir/pids"
}

start_server() {
    snapserver -c "$dir/snapserver.conf" >>"$dir/snapserver.log" 2>&1 &
    echo $! >"$dir/server.pid"
    echo $! >>"$dir/pids"
    # The clients find the server once it listens.
    for _ in $(seq 50); do
        grep -q "Creating stream acceptor" "$dir/snapserver.log" 2>/dev/null && break
        sleep 0.1
    done
}

case "$command" in
start)
    port=${3:?a base port}
    clients=${4:-2}
    buffer=${5:-600}
    mkdir -p "$dir/data"
    cat >"$dir/snapserver.conf" <<CONF
[server]
datadir = $dir/data
[http]
enabled = false
[tcp]
bind_to_address = 127.0.0.1
port = $((port + 2))
[stream]
bind_to_address = 127.0.0.1
port = $((port + 1))
source = tcp://127.0.0.1:$port?name=Chimeon&mode=server
sampleformat = 48000:16:2
codec = pcm
chunk_ms = 5
buffer = $buffer
[logging]
sink = stderr
CONF
    : >"$dir/pids"
    : >"$dir/snapserver.log"
    start_server
    for k in $(seq "$clients"); do
        start_client "$port" "client$k"
    done
    ;;
client)
    start_client "${3:?a base port}" "${4:?a name}" "${5:-}" "${6:-}"
    ;;
server-stop)
    kill "$(cat "$dir/server.pid")" 2>/dev/null || true
    ;;
server-start)
    : >"$dir/snapserver.log"
    start_server
    ;;
stop)
    if [ -f "$dir/pids" ]; then
        while read -r pid; do
            kill "$pid" 2>/dev/null || true
        done <"$dir/pids"
        : >"$dir/pids"
    fi
    ;;
*)
    echo "usage: $0 start|client|stop DIR ..." >&2
    exit 2
    ;;
esac
