#!/usr/bin/env bash
# A farm on one machine: a private MariaDB catalogue, simulated transcoding services and
# several Clipwatch hosts on 127.0.0.x addresses, each with its own settings and log folder,
# sharing a generated tree; shows the whole farm's progress until the tree is done.
#   scripts/farm.sh [--hosts N] [--services N] [--clips N] [--job-ms MS] [--share N] [--quiet]
# --share is each host's MaxTranslations (and MaxMD5s) per service; --quiet prints only the
# last line ("farm: H hosts S services C clips in T s, R clips/min"). Everything runs in its
# own network namespace; a MariaDB already answering there (CLIPWATCH_MARIADB_DIR) is used.
set -euo pipefail
cd "$(dirname "$0")/.."

hosts=3 services=2 clips=5000 job_ms=200 share=40 quiet=
parse() {
    while [ $# -gt 0 ]; do
        case $1 in
        --hosts) hosts=$2; shift ;;
        --services) services=$2; shift ;;
        --clips) clips=$2; shift ;;
        --job-ms) job_ms=$2; shift ;;
        --share) share=$2; shift ;;
        --quiet) quiet=1 ;;
        --inside) ;;
        *) echo "farm: unknown option $1" >&2; exit 2 ;;
        esac
        shift
    done
}

if [ "${1:-}" != "--inside" ]; then
    parse "$@"
    scripts/setup.sh
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build -j "${CLIPWATCH_BUILD_JOBS:-2}" --target clipwatch vexobase >/dev/null
    exec unshare -n "$0" --inside "$@"
fi
parse "$@"
ip link set lo up 2>/dev/null || true

work=$(mktemp -d /dev/shm/clipwatch-farm-XXXXXX)
export CLIPWATCH_MARIADB_DIR=${CLIPWATCH_MARIADB_DIR:-$work/mariadb}
own_server=
if ! mariadb-admin --no-defaults --socket="$CLIPWATCH_MARIADB_DIR/sock" -uroot ping >/dev/null 2>&1; then
    scripts/mariadb.sh start >/dev/null
    own_server=1
fi
pids=()
finish() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [ -n "$own_server" ] && scripts/mariadb.sh stop >/dev/null
    [ -n "${CLIPWATCH_FARM_KEEP:-}" ] || rm -rf "$work"
}
trap finish EXIT

database=clipwatch_farm_$$
sql() {
    mariadb --no-defaults --socket="$CLIPWATCH_MARIADB_DIR/sock" -uroot -N -B -e "$1" "$database" 2>/dev/null
}
say() { [ -n "$quiet" ] || echo "$@"; }

# The tree: folders of 100 clips.
per=100
for ((d = 0; d * per < clips; d++)); do
    dir=$work/media/g$((d % 10))/d$d
    mkdir -p "$dir"
    for ((f = 0; f < per && d * per + f < clips; f++)); do
        echo media >"$dir/c$f.mov"
    done
done
say "farm: $clips clips in $work/media"

addresses=
for ((s = 1; s <= services; s++)); do
    build/vexobase --simulate --jobs 400 --job-ms "$job_ms" --port $((1080 + s)) \
        --bind 127.0.0.1 >/dev/null &
    pids+=($!)
    addresses+="${addresses:+;}127.0.0.1:$((1080 + s))"
done

# One host: its settings store, its command address 127.0.0.(1+i), its log folder.
start_host() {
    local i=$1 home=$work/host$1
    mkdir -p "$home/config/Velmora" "$home/state" "$home/log"
    cat >"$home/config/Velmora/Clipwatch.conf" <<EOF
[General]
DashboardPort=0

[Instance0]
Dir=$work/media/
Separator=/
MakePicons=1
MakeProxy=0
MakeMD5=1
MaxTranslations=$share
MaxMD5s=$share
SettleSeconds=0
ErrorCopyDirectory=
DBType=2
DataBase=$database
DBUsername=${CLIPWATCH_MARIADB_USER:-clipwatch}
DBPassword=${CLIPWATCH_MARIADB_PASSWORD:-clipwatch}
DBHost=127.0.0.1
ServiceHosts="$addresses"
FarmHost=host$i
ClaimSeconds=30
EOF
    printf '[General]\ncommandip=127.0.0.%d\n' $((i + 1)) >"$home/config/Velmora/VexoCmd.conf"
    HOME=$home XDG_CONFIG_HOME=$home/config XDG_STATE_HOME=$home/state \
        CLIPWATCH_LOG_DIR=$home/log QT_QPA_PLATFORM= \
        build/clipwatch --no-window --log host$i --until-idle --start >/dev/null 2>&1 &
    pids+=($!)
    host_pids+=($!)
}

host_pids=()
began=$(date +%s%N)
start_host 1
# The first host creates the catalogue; the others join it.
for _ in $(seq 1 300); do
    [ -n "$(sql 'SELECT 1 FROM Clips LIMIT 1' || true)" ] && break
    sleep 0.1
done
for ((i = 2; i <= hosts; i++)); do start_host "$i"; done

running() {
    for pid in "${host_pids[@]}"; do kill -0 "$pid" 2>/dev/null && return 0; done
    return 1
}
while running; do
    sleep 2
    line=$(sql "SELECT COUNT(*), COALESCE(SUM(Complete=1), 0), COALESCE(SUM(Complete=4), 0) FROM Clips" || true)
    read -r found complete failed <<<"${line:-0 0 0}"
    claims=$(sql "SELECT IFNULL(GROUP_CONCAT(CONCAT(Host, ' ', n) ORDER BY Host SEPARATOR ', '), 'none') FROM (SELECT Host, COUNT(*) AS n FROM Claims GROUP BY Host) AS c" || true)
    say "farm: found $found complete $complete failed $failed of $clips; claims: ${claims:-none}"
done
complete=$(sql "SELECT COALESCE(SUM(Complete=1), 0) FROM Clips" || echo 0)
awk -v ns=$(($(date +%s%N) - began)) -v h="$hosts" -v s="$services" -v c="$clips" -v done="$complete" \
    'BEGIN { t = ns / 1e9; printf "farm: %d hosts %d services %d clips in %.1f s, %d clips/min (%d complete)\n", h, s, c, t, done * 60 / t, done }'
sql "DROP DATABASE $database" || true
