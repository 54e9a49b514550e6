#!/usr/bin/env bash
# A one-node Slurm cluster on this machine, for the tests and for trying
# `varnok slurm render` out.
#
#   scripts/slurm-local.sh start   installs slurm-wlm and munge, writes a
#                                  minimal configuration into its own folder,
#                                  starts munged, slurmctld (with no jobs left
#                                  from an earlier run) and slurmd as root and
#                                  waits until the node is idle
#   scripts/slurm-local.sh stop    ends exactly the daemons start started
#   scripts/slurm-local.sh env     prints the line that points Slurm's
#                                  commands at this cluster
#
# Everything (configuration, munge key and socket, state, logs, pid files)
# lives in $VARNOK_SLURM_DIR, by default /var/tmp/varnok-slurm; the system's
# own /etc/slurm and /etc/munge are left alone. Commands find the cluster
# through SLURM_CONF=$VARNOK_SLURM_DIR/slurm.conf.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=${VARNOK_SLURM_DIR:-/var/tmp/varnok-slurm}
conf=$dir/slurm.conf
daemons=(slurmd slurmctld munged)   # stopping order

say() { echo "slurm-local: $*" >&2; }

pid_of() {   # the daemon's pid when its pid file names a live process of that program
  local file=$dir/run/$1.pid pid
  [ -s "$file" ] || return 1
  pid=$(cat "$file")
  [ -d "/proc/$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$1" ] && echo "$pid"
}

wait_idle() {
  local i state
  for i in $(seq 1 120); do
    state=$(SLURM_CONF=$conf sinfo -h -N -o %t 2>/dev/null | head -n 1 || true)
    if [ "$state" = idle ]; then
      say "node $(hostname -s) idle; use: export SLURM_CONF=$conf"
      return 0
    fi
    sleep 0.5
  done
  say "the node did not become idle within 60 s (state: ${state:-none}); logs in $dir/log"
  return 1
}

write_config() {
  local host cpus
  host=$(hostname -s)
  cpus=$(nproc --all)
  mkdir -p "$dir"/{etc,run,log,state,spool,munge}
  chmod 0700 "$dir/munge"
  if [ ! -s "$dir/etc/munge.key" ]; then
    (umask 077 && head -c 1024 /dev/urandom > "$dir/etc/munge.key")
  fi
  chmod 0400 "$dir/etc/munge.key"
  cat > "$conf" <<EOF
# One node with this machine's processors; written by scripts/slurm-local.sh.
ClusterName=varnok-local
SlurmctldHost=$host(127.0.0.1)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/munge/munge.socket
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/run/slurmctld.pid
SlurmdPidFile=$dir/run/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
SlurmctldTimeout=30
SlurmdTimeout=30
MinJobAge=300
NodeName=$host NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=local Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
}

start() {
  if [ "$(id -u)" -ne 0 ]; then
    say "start needs root (the daemons run as root)"
    exit 2
  fi
  scripts/install-packages.sh slurm-wlm munge
  local running=0 d
  for d in "${daemons[@]}"; do pid_of "$d" > /dev/null && running=$((running + 1))
  done
  if [ "$running" -eq "${#daemons[@]}" ]; then
    say "already running"
    wait_idle
    return
  fi
  [ "$running" -eq 0 ] || stop
  write_config
  munged --key-file="$dir/etc/munge.key" --socket="$dir/munge/munge.socket" \
    --pid-file="$dir/run/munged.pid" --log-file="$dir/log/munged.log" \
    --seed-file="$dir/munge/munged.seed" --force
  export SLURM_CONF=$conf
  # A fresh controller: jobs a previous run left in the saved state would
  # otherwise be requeued and keep the node busy.
  slurmctld -c -f "$conf"
  slurmd -f "$conf"
  wait_idle
}

stop() {
  local d pid i
  for d in "${daemons[@]}"; do
    pid=$(pid_of "$d") || { rm -f "$dir/run/$d.pid"; continue; }
    kill -TERM "$pid"
    for i in $(seq 1 100); do
      [ -d "/proc/$pid" ] || break
      sleep 0.1
    done
    if [ -d "/proc/$pid" ]; then
      say "$d ($pid) did not stop on TERM; killing it"
      kill -KILL "$pid" 2> /dev/null || true
    fi
    rm -f "$dir/run/$d.pid"
    say "stopped $d ($pid)"
  done
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  env) echo "export SLURM_CONF=$conf" ;;
  *) echo "usage: $0 start|stop|env" >&2; exit 2 ;;
esac
