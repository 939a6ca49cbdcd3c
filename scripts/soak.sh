#!/usr/bin/env bash
# Soak: the reference host with the plug-in reads the simulator, with every
# fault kind, over TCP and then UDP, for a long time. Reports records against
# what the simulator sent, drops by cause, and the host's resident memory and
# descriptor count over time. Exit code 1 when a target is missed: a record
# lost that no fault explains, memory growing more than 5 % after the first
# minute, or the descriptor count changing.
#
#   scripts/soak.sh [MINUTES (10)] [SENTENCES_PER_SECOND (2000)] [FAULT_SHARE (0.01)]
set -euo pipefail
cd "$(dirname "$0")/.."
minutes="${1:-10}" rate="${2:-2000}" share="${3:-0.01}"
seconds=$((minutes * 60))
[[ -x build/tools/ais-host && -x build/tools/ais-sim ]] || bash scripts/setup.sh
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
export PROGRAMDATA="$work"  # the host's own trace folder, not the machine's


soak() {
  local link=$1 port=$2 host_pid sim_pid
  echo "== $link: $rate sentences/s for $minutes min, each fault kind in $share of the messages"
  if [[ $link == tcp ]]; then
    build/tools/ais-sim --tcp "$port" --rate "$rate" --faults "$share" --duration "$seconds" 2> "$work/sim.err" &
    sim_pid=$!
    build/tools/ais-host --plugin build/AIS.so --tcp 127.0.0.1 --port "$port" --quiet --duration $((seconds + 5)) \
      2> "$work/host.err" &
    host_pid=$!
  else
    build/tools/ais-host --plugin build/AIS.so --udp --port "$port" --quiet --duration $((seconds + 5)) \
      2> "$work/host.err" &
    host_pid=$!
    until grep -q "^started" "$work/host.err"; do sleep 0.2; done
    sleep 1  # the plug-in binds its socket after it has started
    build/tools/ais-sim --udp "127.0.0.1:$port" --rate "$rate" --faults "$share" --duration "$seconds" 2> "$work/sim.err" &
    sim_pid=$!
  fi
  local first_rss="" last_rss=0 first_fds="" last_fds=0 elapsed=0
  # Sampled while the feed runs; the host stops a few seconds after it.
  while kill -0 "$sim_pid" 2>/dev/null; do
    if [[ -r /proc/$host_pid/status ]]; then
      last_rss=$(awk '/^VmRSS:/ { print $2 }' "/proc/$host_pid/status" 2>/dev/null || echo "$last_rss")
      last_fds=$(ls "/proc/$host_pid/fd" 2>/dev/null | wc -l)
      if ((elapsed == 60)); then first_rss=$last_rss first_fds=$last_fds; fi
      if ((elapsed % 60 == 0)); then echo "  ${elapsed}s: RSS ${last_rss} kB, ${last_fds} descriptors"; fi
    fi
    sleep 5; elapsed=$((elapsed + 5))
  done
  wait "$host_pid" || true
  wait "$sim_pid" || true
  local sent spoiled records
  sent=$(grep -o "sent [0-9]* transmissions" "$work/sim.err" | awk '{ print $2 }')
  spoiled=$(grep -o "[0-9]* messages spoiled" "$work/sim.err" | awk '{ print $1 }')
  records=$(grep -o "; [0-9]* records" "$work/host.err" | awk '{ print $2 }')
  echo "  $(grep "ais-sim: sent" "$work/sim.err" | sed 's/^ais-sim: //')"
  echo "  records: $records of $((sent - spoiled)) expected (sent $sent, spoiled by faults $spoiled)"
  echo "  RSS after 1 min ${first_rss:-?} kB, at the end $last_rss kB; descriptors ${first_fds:-?} then $last_fds"
  local ok=1
  ((records == sent - spoiled)) || { echo "  LOST records that no fault explains"; ok=0; }
  if [[ -n $first_rss ]]; then
    ((last_rss * 100 <= first_rss * 105)) || { echo "  memory grew more than 5 %"; ok=0; }
    ((last_fds == first_fds)) || { echo "  the descriptor count changed"; ok=0; }
  fi
  ((ok)) && echo "  targets met"
  return $((1 - ok))
}

status=0
soak tcp 47110 || status=1
soak udp 47111 || status=1
exit $status
