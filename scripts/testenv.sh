# Sourced by the run and test scripts: a throwaway Wine prefix and, when asked or when there
# is no X display, an Xvfb display of our own. quorvant_env_stop removes only what
# quorvant_env_start started.

quorvant_env_wine() {
  export WINEDEBUG=-all
  # No downloads of Mono or Gecko, no desktop menu entries.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export WINEARCH=win64
}

quorvant_env_start_display() {
  local n
  for n in $(seq 90 250); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    QUORVANT_XVFB_PID=$!
    local i
    for i in $(seq 1 50); do
      if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$QUORVANT_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill "$QUORVANT_XVFB_PID" 2>/dev/null
    QUORVANT_XVFB_PID=
  done
  echo "testenv: could not start Xvfb" >&2
  return 1
}

# Maps the faces the program asks for onto installed ones, so text renders the same on
# every machine whatever fonts Wine finds.
quorvant_env_font_replacements() {
  local face
  for face in Verdana Arial Tahoma "MS Sans Serif"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ \
      /d "DejaVu Sans" /f >/dev/null 2>&1
  done
}

# quorvant_env_start [prefix]: a new throwaway prefix unless one is given.
quorvant_env_start() {
  quorvant_env_wine
  if [[ -n ${1:-} ]]; then
    export WINEPREFIX=$1
  else
    WINEPREFIX=$(mktemp -d /tmp/quorvant-wine.XXXXXX)
    export WINEPREFIX
    QUORVANT_OWN_PREFIX=$WINEPREFIX
  fi
  if [[ -z ${DISPLAY:-} || -n ${QUORVANT_OWN_DISPLAY:-} ]] || ! xdpyinfo >/dev/null 2>&1; then
    quorvant_env_start_display || return 1
  fi
  wineboot -i >/dev/null 2>&1
  quorvant_env_font_replacements
  # A persistent server makes each test program start in a fraction of a second.
  wineserver -p </dev/null >/dev/null 2>&1
  export QUORVANT_TESTENV=1
}

quorvant_env_stop() {
  if [[ -n ${WINEPREFIX:-} ]]; then
    wineserver -k >/dev/null 2>&1 || true
  fi
  if [[ -n ${QUORVANT_XVFB_PID:-} ]]; then
    kill "$QUORVANT_XVFB_PID" 2>/dev/null || true
    wait "$QUORVANT_XVFB_PID" 2>/dev/null || true
    QUORVANT_XVFB_PID=
  fi
  if [[ -n ${QUORVANT_OWN_PREFIX:-} && -d $QUORVANT_OWN_PREFIX ]]; then
    rm -rf "$QUORVANT_OWN_PREFIX"
    QUORVANT_OWN_PREFIX=
  fi
}

# Starts one Wine session keeper (tests/support/wine_session.exe) and waits until it runs, so
# that no test or driven program starts Wine's desktop process itself.
quorvant_env_start_session() {
  local ready
  ready=$(mktemp -u /tmp/quorvant-session.XXXXXX)
  wine "$1/wine_session.exe" "Z:${ready//\//\\}" </dev/null >/dev/null 2>&1 &
  for _ in $(seq 1 200); do [[ -e $ready ]] && break; sleep 0.1; done
  rm -f "$ready"
}

# The Linux process of a program of this environment's prefix: other sessions on the
# machine may be running programs of the same name.
quorvant_unix_pid() {
  local pid
  for pid in $(pgrep -f "$1"); do
    # quorvant.exe's watcher carries the program's name too; only a pattern that asks for
    # it finds it.
    if [[ $1 != *--watch* ]] && tr '\0' ' ' 2>/dev/null <"/proc/$pid/cmdline" | grep -q -- ' --watch '; then
      continue
    fi
    if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      echo "$pid"
      return 0
    fi
  done
  return 1
}

# utime + stime of a Linux process in clock ticks; the name field may hold spaces, so count
# from its ')'.
quorvant_cpu_ticks() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk '{ print $12 + $13 }'; }

# Wake-ups of a Linux process: the voluntary context switches of all its threads.
quorvant_wakeups() {
  cat "/proc/$1"/task/*/status 2>/dev/null |
    awk '/^voluntary_ctxt_switches/ { n += $2 } END { print n + 0 }'
}

# Runs a benchmark driver (a Windows program and its arguments) and prints what it says,
# except its lines "@sample <moment> [<label>] <exe>": at each, the CPU ticks and wake-ups of
# that program and the CPU ticks of the wineserver go into the caller's associative arrays
# ticks and switches, as [<label>.<moment>] and [<label>.server.<moment>] (the label is the
# exe's name when the line has none), and the driver is answered "ok" (it waits for that
# before going on). Returns the driver's status.
quorvant_sampling_driver() {
  local server line moment label exe pid driver_pid from_driver to_driver status
  server=$(quorvant_unix_pid wineserver) || { echo "no wineserver for $WINEPREFIX" >&2; return 1; }
  coproc DRIVER { wine "$@"; }
  # Own copies of the pipe ends and pid: bash drops the coproc's when it ends.
  driver_pid=$DRIVER_PID
  exec {from_driver}<&"${DRIVER[0]}" {to_driver}>&"${DRIVER[1]}"
  while IFS= read -r line <&"$from_driver"; do
    line=${line%$'\r'}
    if [[ $line == "@sample "* ]]; then
      read -r _ moment label exe <<<"$line"
      [[ -n $exe ]] || exe=$label
      if pid=$(quorvant_unix_pid "$exe"); then
        ticks[$label.$moment]=$(quorvant_cpu_ticks "$pid")
        switches[$label.$moment]=$(quorvant_wakeups "$pid")
      fi
      ticks[$label.server.$moment]=$(quorvant_cpu_ticks "$server")
      echo ok >&"$to_driver"
    else
      printf '%s\n' "$line"
    fi
  done
  wait "$driver_pid"
  status=$?
  exec {from_driver}<&- {to_driver}>&-
  return "$status"
}
