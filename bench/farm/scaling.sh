#!/usr/bin/env bash
# Throughput of a farm (scripts/farm.sh) with 1, 2 and 3 hosts and 1 and 2 services, at a fixed
# simulated job time and a fixed share per host and service, in one run: clips per minute, and
# each run's ratio to one host with one service. Run inside scripts/bench.sh's namespace (the
# private MariaDB answering), or alone: `unshare -n bench/farm/scaling.sh` as root.
#   bench/farm/scaling.sh [--quick]
set -euo pipefail
cd "$(dirname "$0")/../.."

clips=1200 job_ms=500 share=10
[ "${1:-}" = --quick ] && clips=400
echo "farm scaling: $clips clips (picon and MD5), jobs of $job_ms ms, share $share per host and service"
printf '%-8s %-9s %12s %8s\n' hosts services clips/min ratio
base=
for services in 1 2; do
    for hosts in 1 2 3; do
        line=$(scripts/farm.sh --inside --quiet --hosts $hosts --services $services \
            --clips $clips --job-ms $job_ms --share $share | tail -1)
        rate=$(sed -n 's/.*, \([0-9]*\) clips\/min.*/\1/p' <<<"$line")
        base=${base:-$rate}
        awk -v h=$hosts -v s=$services -v r="$rate" -v b="$base" \
            'BEGIN { printf "%-8d %-9d %12d %8.2f\n", h, s, r, r / b }'
    done
done
