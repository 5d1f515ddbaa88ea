# Shared by the Wine helpers: the environment every Wine process runs with,
# and the creation of a build directory's prefixes and X server. Source it.

# One wineserver serves 32-bit and 64-bit programs alike; the loader differs:
# wine64 for 64-bit prefixes, Debian's wine32 loader for 32-bit ones (a
# prefix created by one cannot be used by the other). WINE, when set, is used
# for both (the harness's own tests put stand-ins there).
WINE_OVERRIDE=${WINE:-}
WINESERVER=${WINESERVER:-$(command -v wineserver || echo /usr/lib/wine/wineserver64)}

# Chooses the architecture of the prefixes used from here on: win64 or win32.
wine_select_arch() {  # arch
  case $1 in
    win64) WINE_PREFIX_ARCH=win64 WINE=${WINE_OVERRIDE:-$(command -v wine64 || echo /usr/lib/wine/wine64)} ;;
    win32) WINE_PREFIX_ARCH=win32 WINE=${WINE_OVERRIDE:-/usr/lib/wine/wine} ;;
    *) echo "wine-env: unknown Wine architecture '$1' (win64 or win32)" >&2; return 2 ;;
  esac
}

# The architecture a build directory's tests run in, as its CMake
# configuration wrote it into wine-arch (win64 when it says nothing).
# MRWD_WINEARCH, when set, overrides it.
wine_select_build_dir() {  # build-dir
  local arch=win64
  [ -f "$1/wine-arch" ] && arch=$(cat "$1/wine-arch")
  wine_select_arch "${MRWD_WINEARCH:-$arch}"
}
wine_select_arch "${MRWD_WINEARCH:-win64}"

# Whether this machine can run 32-bit programs at all: 32-bit Windows
# programs (the installer, the 32-bit build) run in Wine's 32-bit loader, a
# 32-bit Linux program, and some kernels refuse every such program (their
# execve fails with "exec format error") even where wine32 is installed.
machine_runs_32bit_programs() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}
WINE_NO_32BIT_REASON="this machine runs 64-bit programs only: its kernel refuses 32-bit ones, Wine's 32-bit loader /usr/lib/wine/wine among them (exec format error)"
# How long an idle wineserver (with services.exe and friends) stays up after
# the last test program ended; later test programs then start warm.
WINESERVER_LINGER_SECONDS=${WINESERVER_LINGER_SECONDS:-60}
# What Wine reports while the harness starts a prefix and runs a program:
# its error messages (they tell why a program could not start), not its notes
# on unimplemented functions. A WINEDEBUG of your own is used as it is.
WINE_OWN_DEBUG=${WINEDEBUG:-}
WINE_REPORT_DEBUG=${WINE_OWN_DEBUG:-fixme-all}

# The environment of every Wine process. The ANSI code page comes from the
# locale at every run, not from the prefix: without ru_RU it is 1252 and the
# Russian texts turn into question marks. winedbg is disabled so that a crash
# ends the program at once instead of hanging in the debugger.
wine_environment() {  # prefix
  export WINEPREFIX=$1
  export WINEARCH=$WINE_PREFIX_ARCH
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  export LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
}

# How a process ended, from its exit status as the shell gives it.
describe_status() {  # status
  if [ "$1" -gt 128 ]; then
    echo "killed by signal $(($1 - 128)) ($(kill -l $(($1 - 128)) 2>/dev/null))"
  else
    echo "exit status $1"
  fi
}

# Prints what Wine wrote, kept in a file, indented under a heading.
show_wine_messages() {  # file heading
  if [ -s "$1" ]; then
    echo "$2"
    sed 's/^/  | /' "$1"
  else
    echo "Wine printed nothing."
  fi
}

# Says on standard error that a Wine step failed, how, and what Wine printed.
report_wine_failure() {  # what status messages-file
  {
    echo "${0##*/}: $1 failed: $(describe_status "$2")."
    show_wine_messages "$3" "What Wine printed:"
  } >&2
}

# Runs a step of a prefix's start with no terminal or pipe of ours attached
# and without the lock descriptor, so background processes it leaves behind
# hold nothing of ours open. What Wine prints goes to a file (those processes
# go on writing to it after it is removed), shown when the step fails.
wine_step() {  # what command...
  local what=$1 messages status=0
  shift
  messages=$(mktemp)
  WINEDEBUG=$WINE_REPORT_DEBUG "$@" </dev/null >"$messages" 2>&1 9>&- || status=$?
  [ $status -eq 0 ] || report_wine_failure "$what" $status "$messages"
  rm -f "$messages"
  return $status
}

# Creates the prefix once. "null" gives a headless prefix; "x11" one that draws
# on $DISPLAY. A first start of Wine in a new prefix now and then fails on a
# busy machine (wineboot ends with an error while its helpers start); the
# failure is reported and the prefix made once more from nothing.
ensure_prefix() {  # prefix driver
  local prefix=$1 driver=$2 try
  [ -f "$prefix/.mrwd-ready" ] && return 0
  for try in 1 2; do
    if create_prefix "$prefix" "$driver"; then
      touch "$prefix/.mrwd-ready"
      return 0
    fi
    (wine_environment "$prefix"; "$WINESERVER" -k 2>/dev/null; "$WINESERVER" -w 2>/dev/null) || true
    [ $try -eq 2 ] || echo "${0##*/}: making the prefix $prefix once more" >&2
  done
  return 1
}

create_prefix() {  # prefix driver
  local prefix=$1 driver=$2
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")"
  (
    wine_environment "$prefix"
    wine_step "creating the Wine prefix $prefix (wineboot -i)" "$WINE" wineboot -i || exit
    if [ "$driver" = null ]; then
      wine_step "selecting the null graphics driver in $prefix" \
        "$WINE" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f || exit
    fi
    wine_step "waiting for the new prefix's wineserver to end" "$WINESERVER" -w
  )
}

# Starts the prefix's wineserver and Wine's background processes ourselves,
# detached: a background process started by a test program would inherit its
# output and keep CTest waiting for the pipe to close. Call it holding the
# prefix's lock.
# Whether a server runs already is the wineserver's own decision, which is
# atomic: it takes a lock in its server directory and ends with status 2
# while another server holds that lock. Looking for the process instead
# misses a running server whenever it loads or saves the registry (it then
# works in the prefix directory, not its server directory; it saves every
# 30 s after a change), and a server can also end, or be started by a test
# program, between such a look and the start.
ensure_wineserver() {  # prefix
  local prefix=$1 messages status=0
  messages=$(mktemp)
  (
    wine_environment "$prefix"
    "$WINESERVER" -p"$WINESERVER_LINGER_SECONDS" </dev/null >"$messages" 2>&1 9>&-
  ) || status=$?
  case $status in
    0)  # ours: start the background processes now, with nothing of a test attached
      (
        wine_environment "$prefix"
        wine_step "starting Wine's background processes in $prefix (wineboot)" "$WINE" wineboot
      ) || status=$? ;;
    2)  # one runs already
      status=0 ;;
    *)
      report_wine_failure "starting the wineserver of $prefix" $status "$messages" ;;
  esac
  rm -f "$messages"
  return $status
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
