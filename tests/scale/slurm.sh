#!/usr/bin/env bash
# Starts a one-node Slurm cluster on this machine (munged, slurmctld and slurmd as root, no
# systemd, everything in a temporary folder), runs the shard union check as a Slurm job
# array, and stops everything it started. Not part of test.sh: it installs slurm-wlm and
# munge when they are missing and needs root.
#
#   sudo tests/scale/slurm.sh [path/to/tessaly-cli]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cli=$(realpath "${1:-$here/../../build/cli/tessaly-cli}")
[[ $EUID -eq 0 ]] || { echo "slurm.sh: run as root (the daemons run as root here)" >&2; exit 2; }
[[ -x "$cli" ]] || { echo "slurm.sh: no tessaly-cli at $cli; build first" >&2; exit 2; }

missing=()
for package in slurm-wlm munge; do
  [[ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)" == "install ok installed" ]] || missing+=("$package")
done
if ((${#missing[@]})); then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

folder=$(mktemp -d /tmp/tessaly-slurm.XXXXXX)
chmod 755 "$folder"
host=$(hostname -s)
daemon_pids=()

stop_all() {
  local pid
  for pid in "${daemon_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  if [[ -f "$folder/munged.pid" ]]; then kill "$(cat "$folder/munged.pid")" 2>/dev/null || true; fi
  for pid in "${daemon_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [[ "${keep_folder:-0}" == 1 ]]; then echo "logs kept in $folder"; else rm -rf "$folder"; fi
}
trap stop_all EXIT

# munge: its own key, socket, pid, log and seed files.
dd if=/dev/urandom of="$folder/munge.key" bs=1024 count=1 status=none
chmod 400 "$folder/munge.key"
munged --key-file="$folder/munge.key" --socket="$folder/munge.socket" --pid-file="$folder/munged.pid" \
  --log-file="$folder/munged.log" --seed-file="$folder/munged.seed"

mkdir -p "$folder/state" "$folder/spool"
cat >"$folder/slurm.conf" <<CONF
ClusterName=tessaly
SlurmctldHost=$host
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$folder/munge.socket
CredType=cred/munge
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
ReturnToService=2
StateSaveLocation=$folder/state
SlurmdSpoolDir=$folder/spool
SlurmctldPidFile=$folder/slurmctld.pid
SlurmdPidFile=$folder/slurmd.pid
SlurmctldLogFile=$folder/slurmctld.log
SlurmdLogFile=$folder/slurmd.log
SlurmctldPort=16817
SlurmdPort=16818
NodeName=$host CPUs=2 State=UNKNOWN
PartitionName=tessaly Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF
export SLURM_CONF="$folder/slurm.conf"

slurmctld -D -c >"$folder/slurmctld.out" 2>&1 &
daemon_pids+=($!)
slurmd -D >"$folder/slurmd.out" 2>&1 &
daemon_pids+=($!)

for _ in $(seq 60); do
  if sinfo -h -o '%t' 2>/dev/null | grep -qx idle; then break; fi
  sleep 1
done
if ! sinfo -h -o '%t' 2>/dev/null | grep -qx idle; then
  echo "slurm.sh: the node did not come up; see $folder" >&2
  keep_folder=1
  exit 1
fi

python3 "$here/shard_union.py" "$cli" "$folder/work" --launcher slurm || { keep_folder=1; exit 1; }
