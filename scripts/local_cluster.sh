#!/usr/bin/env bash
# A one-node Slurm cluster on this machine, for the cluster stage and for trying the array
# recipe (examples/slurm_array.sh): munge, slurmctld and slurmd from Debian's packages, run as
# plain background daemons (no systemd) with no cgroups. Run as root.
#   local_cluster.sh start   installs what is missing, writes the configuration, starts the
#                            daemons (reusing those an earlier start left running, found by
#                            their pid files) and waits, at most 60 s, until the node is idle;
#                            on failure it shows the logs and exits 1
#   local_cluster.sh stop    ends the daemons by their pid files, waiting at most 30 s
set -euo pipefail
cd "$(dirname "$0")/.."

conf=/etc/slurm/slurm.conf
munge_pid=/run/munge/munged.pid
slurmctld_pid=/run/slurmctld.pid
slurmd_pid=/run/slurmd.pid
logs=(/var/log/slurm/slurmctld.log /var/log/slurm/slurmd.log /var/log/munge/munged.log)

say() { echo "local_cluster: $*" >&2; }

show_logs() {
  for log in "${logs[@]}"; do
    [ -f "$log" ] || continue
    echo "--- $log (last 40 lines)" >&2
    tail -n 40 "$log" >&2
  done
}

# The pid in the file, when that process is alive.
running_pid() {
  local pid
  [ -s "$1" ] || return 1
  pid=$(cat "$1")
  [[ "$pid" =~ ^[0-9]+$ ]] && kill -0 "$pid" 2>/dev/null && echo "$pid"
}

# Waits, at most the given seconds, until the command succeeds.
wait_for() {
  local seconds=$1
  shift
  for ((i = 0; i < seconds * 5; i++)); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  return 1
}

fail() {
  say "$*"
  show_logs
  exit 1
}

write_configuration() {
  local cpus memory
  cpus=$(nproc)
  # Below what the machine has, so slurmd does not drain the node for want of memory.
  memory=$(awk '/^MemTotal:/ {print int($2 / 1024 * 3 / 4)}' /proc/meminfo)
  mkdir -p /etc/slurm /var/spool/slurmctld /var/spool/slurmd /var/log/slurm
  cat >"$conf" <<EOF
ClusterName=local
SlurmctldHost=localhost
SlurmUser=root
AuthType=auth/munge
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
SchedulerType=sched/backfill
StateSaveLocation=/var/spool/slurmctld
SlurmdSpoolDir=/var/spool/slurmd
SlurmctldPidFile=$slurmctld_pid
SlurmdPidFile=$slurmd_pid
SlurmctldLogFile=/var/log/slurm/slurmctld.log
SlurmdLogFile=/var/log/slurm/slurmd.log
ReturnToService=2
MpiDefault=none
NodeName=localhost CPUs=$cpus RealMemory=$memory State=UNKNOWN
PartitionName=main Nodes=localhost Default=YES MaxTime=INFINITE State=UP
EOF
}

start_munge() {
  if running_pid "$munge_pid" >/dev/null; then
    say "munged already running (pid $(cat "$munge_pid"))"
  else
    mkdir -p /run/munge /var/log/munge /var/lib/munge /etc/munge
    chown munge:munge /run/munge /var/log/munge /var/lib/munge
    if [ ! -s /etc/munge/munge.key ]; then
      mungekey -c -k /etc/munge/munge.key
      chown munge:munge /etc/munge/munge.key
      chmod 0400 /etc/munge/munge.key
    fi
    runuser -u munge -- /usr/sbin/munged || fail "munged did not start"
  fi
  wait_for 10 bash -c 'munge -n | unmunge | grep -q "Success"' || fail "munge does not answer"
}

# Starts /usr/sbin/NAME with the arguments, unless its pid file names a live process.
start_daemon() {
  local name=$1 pid_file=$2
  shift 2
  if running_pid "$pid_file" >/dev/null; then
    say "$name already running (pid $(cat "$pid_file"))"
    return
  fi
  "/usr/sbin/$name" "$@" || fail "$name did not start"
  wait_for 10 running_pid "$pid_file" || fail "$name wrote no pid file"
}

node_idle() {
  [ "$(sinfo -h -o %t 2>/dev/null)" = idle ]
}

start() {
  [ "$(id -u)" -eq 0 ] || { say "run as root"; exit 1; }
  bash scripts/setup.sh slurm-wlm munge
  write_configuration
  start_munge
  start_daemon slurmctld "$slurmctld_pid"
  # Named as the configuration names it, whatever the machine's host name.
  start_daemon slurmd "$slurmd_pid" -N localhost
  # A node an earlier run left down comes back.
  scontrol update nodename=localhost state=resume >/dev/null 2>&1 || true
  wait_for 60 node_idle || fail "the node is not idle after 60 s: $(sinfo 2>&1 || true)"
  say "up: $(sinfo -h -o '%P %D %t %c' 2>&1)"
}

# Ends the process of the pid file, by its pid, waiting at most 30 s.
stop_by_pid_file() {
  local pid
  pid=$(running_pid "$1") || return 0
  kill "$pid" 2>/dev/null || true
  wait_for 30 bash -c "! kill -0 $pid" || say "pid $pid from $1 has not ended"
}

stop() {
  if running_pid "$slurmctld_pid" >/dev/null; then
    timeout 20 scontrol shutdown >/dev/null 2>&1 || true
  fi
  stop_by_pid_file "$slurmd_pid"
  stop_by_pid_file "$slurmctld_pid"
  stop_by_pid_file "$munge_pid"
  say "stopped"
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  *) echo "usage: local_cluster.sh start|stop" >&2; exit 2 ;;
esac
