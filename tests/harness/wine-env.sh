# Shared by the Wine helpers: the environment every Wine process runs with,
# and the creation of a build directory's prefixes and X server. Source it.

WINE=${WINE:-$(command -v wine64 || echo /usr/lib/wine/wine64)}
WINESERVER=${WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver64)}
# How long an idle wineserver (with services.exe and friends) stays up after
# the last test program ended; later test programs then start warm.
WINESERVER_LINGER_SECONDS=${WINESERVER_LINGER_SECONDS:-60}

# The environment of every Wine process. The ANSI code page comes from the
# locale at every run, not from the prefix: without ru_RU it is 1252 and the
# Russian texts turn into question marks. winedbg is disabled so that a crash
# ends the program at once instead of hanging in the debugger.
wine_environment() {  # prefix
  export WINEPREFIX=$1
  export WINEARCH=win64
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  export LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
}

# Runs a command with no terminal or pipe of ours attached and without the
# lock descriptor, so background processes it leaves behind hold nothing open.
detached() {
  "$@" </dev/null >/dev/null 2>&1 9>&-
}

# Creates the prefix once. "null" gives a headless prefix; "x11" one that draws
# on $DISPLAY.
ensure_prefix() {  # prefix driver
  local prefix=$1 driver=$2
  [ -f "$prefix/.mrwd-ready" ] && return 0
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  (
    wine_environment "$prefix"
    detached "$WINE" wineboot -i
    if [ "$driver" = null ]; then
      detached "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
    fi
    detached "$WINESERVER" -w
  )
  touch "$prefix/.mrwd-ready"
}

# The directory the prefix's wineserver works in, named by device and inode.
wineserver_dir_name() {  # prefix
  local dev ino
  read -r dev ino < <(stat -c '%d %i' "$1")
  printf 'server-%x-%x' "$dev" "$ino"
}

wineserver_running() {  # prefix
  local want pid
  want=$(wineserver_dir_name "$1")
  for pid in $(pgrep -f 'wineserver' 2>/dev/null); do
    [ "$(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null)")" = "$want" ] && return 0
  done
  return 1
}

# Starts the wineserver and Wine's background processes ourselves, detached:
# a background process started by a test program would inherit its output and
# keep CTest waiting for the pipe to close.
ensure_wineserver() {  # prefix
  local prefix=$1
  wineserver_running "$prefix" && return 0
  (
    wine_environment "$prefix"
    detached "$WINESERVER" -p"$WINESERVER_LINGER_SECONDS"
    detached "$WINE" wineboot
  )
}

# An X server for the programs that need a window system (the tray icon).
# Started once per build directory; its display number is kept in a file.
ensure_xvfb() {  # state-dir; prints the display
  local dir=$1 pid display
  if [ -f "$dir/xvfb.pid" ] && [ -f "$dir/xvfb.display" ]; then
    pid=$(cat "$dir/xvfb.pid")
    display=$(cat "$dir/xvfb.display")
    if kill -0 "$pid" 2>/dev/null && [ -n "$display" ]; then
      echo ":$display"
      return 0
    fi
  fi
  rm -f "$dir/xvfb.pid" "$dir/xvfb.display"
  setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
    3>"$dir/xvfb.display" </dev/null >/dev/null 2>&1 9>&- &
  echo $! >"$dir/xvfb.pid"
  for _ in $(seq 100); do
    [ -s "$dir/xvfb.display" ] && break
    sleep 0.05
  done
  display=$(tr -d '\n' <"$dir/xvfb.display")
  [ -n "$display" ] || { echo "wine-env: Xvfb did not start" >&2; return 1; }
  echo ":$display"
}
