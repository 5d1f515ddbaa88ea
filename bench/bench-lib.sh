# Shared by the run-*-bench scripts: finding the processes of one Wine
# prefix, the processor time and memory of a Linux process, and the result
# lines bench/report collects. Source it after tests/harness/wine-env.sh.

# The Linux process ids of the processes of PREFIX whose command line matches
# PATTERN. Other prefixes on the machine (the tests, other benches, other
# people's work) may run the same programs: only this prefix's count, and
# only they may be stopped or frozen.
prefix_pids() {  # prefix pattern
  local pid
  for pid in $(pgrep -f "$2"); do
    # A process may end between pgrep and this look.
    if { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qx "WINEPREFIX=$1"; then
      echo "$pid"
    fi
  done
  return 0
}
prefix_pid() { prefix_pids "$@" | head -n 1; }

# Ends the processes of PREFIX that match PATTERN (and nothing of anyone else).
stop_prefix_processes() {  # prefix pattern
  local pids
  pids=$(prefix_pids "$1" "$2")
  [ -z "$pids" ] || kill $pids 2>/dev/null || true
}

# Processor time (user + system) of a process, in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
CLOCK_TICK_HZ=$(getconf CLK_TCK)
ticks_to_ms() { echo $(( $1 * 1000 / CLOCK_TICK_HZ )); }

# The memory that belongs to a Linux process alone, in kB: the private pages
# of /proc/PID/smaps_rollup, clean and dirty. For a Wine process this is the
# Linux view of the program; Wine's own figure for it may count otherwise.
linux_private_kb() {  # pid
  awk '/^Private_(Clean|Dirty):/ { kb += $2 } END { print kb + 0 }' "/proc/$1/smaps_rollup"
}

# Lines for bench/report, printed only when the script was asked for them
# (--machine): "result NAME VALUE UNIT", one sample each, and "note NAME TEXT",
# what the reader should know about the samples of NAME. Numbers the C way:
# Wine's Russian locale would write a decimal comma.
MACHINE_RESULTS=${MACHINE_RESULTS:-0}
result() {  # name value unit
  [ "$MACHINE_RESULTS" = 1 ] || return 0
  LC_ALL=C printf 'result %s %s %s\n' "$1" "$2" "$3"
}
note() {  # name text...
  [ "$MACHINE_RESULTS" = 1 ] || return 0
  local name=$1
  shift
  echo "note $name $*"
}
