#!/usr/bin/env bash
# Private MariaDB server for the database tests: 127.0.0.1:3306, data and socket under
# /tmp/clipwatch-mariadb, a user "clipwatch" (password "clipwatch") allowed everything.
#   scripts/mariadb.sh start   start it (already running: nothing to do); waits until it answers
#   scripts/mariadb.sh stop    shut it down and wait until no server process is left
set -euo pipefail

dir=${CLIPWATCH_MARIADB_DIR:-/tmp/clipwatch-mariadb}
user=${CLIPWATCH_MARIADB_USER:-clipwatch}
password=${CLIPWATCH_MARIADB_PASSWORD:-clipwatch}
socket=$dir/sock
pidfile=$dir/pid

answers() {
    mariadb-admin --no-defaults --socket="$socket" -uroot ping >/dev/null 2>&1
}

server_pid() {
    [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null && cat "$pidfile"
}

start() {
    if answers; then
        echo "mariadb: already running"
        return 0
    fi
    mkdir -p "$dir"
    if [ ! -d "$dir/data/mysql" ]; then
        mariadb-install-db --no-defaults --datadir="$dir/data" --user=root \
            --auth-root-authentication-method=normal >"$dir/install.log" 2>&1
    fi
    setsid mariadbd --no-defaults --datadir="$dir/data" --socket="$socket" --port=3306 \
        --bind-address=127.0.0.1 --user=root --pid-file="$pidfile" \
        >"$dir/server.log" 2>&1 </dev/null &
    for _ in $(seq 1 300); do
        answers && break
        sleep 0.1
    done
    if ! answers; then
        echo "mariadb: server did not answer; see $dir/server.log" >&2
        exit 1
    fi
    mariadb --no-defaults --socket="$socket" -uroot -e \
        "CREATE USER IF NOT EXISTS '$user'@'127.0.0.1' IDENTIFIED BY '$password';
         GRANT ALL ON *.* TO '$user'@'127.0.0.1'; FLUSH PRIVILEGES;"
    echo "mariadb: running on 127.0.0.1:3306"
}

stop() {
    local pid
    pid=$(server_pid || true)
    if answers; then
        mariadb-admin --no-defaults --socket="$socket" -uroot shutdown >/dev/null 2>&1 || true
    fi
    if [ -n "$pid" ]; then
        for _ in $(seq 1 300); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null; then
            kill -9 "$pid"
        fi
    fi
    echo "mariadb: stopped"
}

case "${1:-}" in
start) start ;;
stop) stop ;;
*)
    echo "usage: $0 start|stop" >&2
    exit 2
    ;;
esac
