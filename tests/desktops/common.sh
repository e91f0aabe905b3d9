# common.sh: helpers sourced by the desktop kit scripts (not run directly).
# shellcheck shell=bash disable=SC2086  # pid lists and Xwayland's argv are split on purpose
# Work-directory layout (DIR is the first argument or $DESKTOP_DIR):
#   DIR/home  private HOME        DIR/run  XDG_RUNTIME_DIR (sockets, Xwayland auth)
#   DIR/log   one log per process DIR/pid  one pid file per process started
#   DIR/bin   binaries copied by the -up scripts
#   DIR/env   export lines for tests (written only once the desktop is ready)

kit_die() { echo "$(basename "$0"): $*" >&2; exit 1; }

# kit_dir ARG: absolute work dir from ARG or $DESKTOP_DIR.
kit_dir() {
    local d=${1:-${DESKTOP_DIR:-}}
    [ -n "$d" ] || kit_die "usage: $(basename "$0") DIR (or set DESKTOP_DIR)"
    mkdir -p "$d" && (cd "$d" && pwd)
}

# kit_wait SECONDS DESCRIPTION CMD...: poll CMD (a command or shell function) every 0.2 s until it
# succeeds or SECONDS pass. If KIT_GUARD_PID is set and that process dies, give up at once.
kit_wait() {
    local secs=$1 what=$2; shift 2
    local end=$(( $(date +%s%N) + secs * 1000000000 ))
    until "$@" >/dev/null 2>&1; do
        if [ -n "${KIT_GUARD_PID:-}" ] && ! kit_running "$KIT_GUARD_PID"; then
            echo "process $KIT_GUARD_PID exited while waiting for: $what" >&2; return 2
        fi
        [ "$(date +%s%N)" -lt "$end" ] || { echo "timed out after ${secs}s waiting for: $what" >&2; return 1; }
        sleep 0.2
    done
}

# kit_deadline SECONDS / kit_left: a deadline for a whole start-up, and the seconds left (at least 1).
kit_deadline() { KIT_END=$(( $(date +%s) + $1 )); }
kit_left() { local l=$(( KIT_END - $(date +%s) )); echo $(( l > 0 ? l : 1 )); }

# kit_running PID: the process exists and is not a zombie (an exited process whose parent is gone
# stays a zombie until PID 1 reaps it, which some container inits do only every few seconds).
kit_running() { local st; st=$(ps -o stat= -p "$1" 2>/dev/null) && [ -n "$st" ] && [ "${st#Z}" = "$st" ]; }

# kit_alive PIDFILE: the recorded process is still running.
kit_alive() { [ -s "$1" ] && kit_running "$(cat "$1")"; }

# kit_start NAME CMD...: start CMD in the background, log to DIR/log/NAME.log, pid to DIR/pid/NAME.pid.
kit_start() {
    local name=$1; shift
    "$@" >"$DIR/log/$name.log" 2>&1 </dev/null &
    echo $! >"$DIR/pid/$name.pid"
}

# kit_tool NAME DEST: copy the pointer tool NAME, built with the tests, from DESKTOP_TOOLS to DEST.
kit_tool() {
    local tool=${DESKTOP_TOOLS:-}/$1
    [ -n "${DESKTOP_TOOLS:-}" ] && [ -x "$tool" ] ||
        kit_die "$1 not found: build the target ${1//-/_} and set DESKTOP_TOOLS to BUILD_DIR/tests/desktops"
    cp "$tool" "$2"
}

# kit_has_name BUSNAME: the name is owned on the private session bus.
kit_has_name() {
    gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}

# kit_xwayland PARENTPID: prints "DISPLAY AUTHFILE" from the command line of the parent's Xwayland child.
kit_xwayland() {
    local args
    args=$(ps -o args= --ppid "$1" | grep -m1 '^[^ ]*Xwayland ') || return 1
    set -- $args
    local disp="" auth=""
    while [ $# -gt 0 ]; do
        case $1 in :[0-9]*) disp=$1 ;; -auth) auth=${2:-}; shift ;; esac
        shift
    done
    [ -n "$disp" ] && echo "$disp $auth"
}

# kit_private_env DESKTOPNAME: export a private, empty session for DIR (nothing inherited from the caller's session).
kit_private_env() {
    mkdir -p "$DIR/home" "$DIR/log" "$DIR/pid" "$DIR/bin"
    rm -rf "$DIR/run" "$DIR/env"; rm -f "$DIR"/pid/*.pid
    mkdir -m 700 "$DIR/run"
    unset DISPLAY WAYLAND_DISPLAY XAUTHORITY DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS SESSION_MANAGER
    export HOME=$DIR/home XDG_RUNTIME_DIR=$DIR/run
    export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache XDG_STATE_HOME=$HOME/.local/state
    export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=$1
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
}

# kit_x11_socket_dir: /tmp/.X11-unix as a booted system has it (tmpfiles.d: 1777, root). mutter
# creates it with mkdir(01777) under the umask, so 1755, and then refuses that on its next start;
# sway's Xwayland runs as another uid and must create its socket there too.
kit_x11_socket_dir() {
    local d=/tmp/.X11-unix
    [ -d "$d" ] && [ "$(stat -c %a "$d")" = 1777 ] && return 0
    [ "$(id -u)" = 0 ] || kit_die "$d must be a directory of mode 1777 (it is $(stat -c %a "$d" 2>/dev/null || echo missing))"
    mkdir -p "$d" && chmod 1777 "$d"
}

# kit_buses [any-user]: a private session bus, and an empty private bus standing in for the system bus.
# With any-user the session bus also admits other local uids (sway runs as another uid than the tests).
# shellcheck disable=SC2120  # the argument is optional
kit_buses() {
    local conf=--session
    if [ "${1:-}" = any-user ]; then
        conf=--config-file=$XDG_RUNTIME_DIR/session-bus.conf
        printf '%s\n' '<busconfig>' '  <include>/usr/share/dbus-1/session.conf</include>' \
            '  <policy context="default"><allow user="*"/></policy>' '</busconfig>' >"${conf#*=}"
    fi
    kit_start dbus dbus-daemon "$conf" --nofork --nopidfile --address="unix:path=$XDG_RUNTIME_DIR/bus"
    kit_start sysdbus dbus-daemon --session --nofork --nopidfile --address="unix:path=$XDG_RUNTIME_DIR/system_bus"
    export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/system_bus
    kit_wait 10 "session bus" kit_has_name org.freedesktop.DBus
    kit_wait 10 "system bus" gdbus call --system --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.GetId
}

# kit_write_env EXTRA...: write DIR/env from the current exports plus extra NAME=VALUE pairs.
kit_write_env() {
    local tmp=$DIR/env.tmp v
    {
        for v in HOME XDG_RUNTIME_DIR XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME XDG_STATE_HOME \
                 XDG_SESSION_TYPE XDG_CURRENT_DESKTOP DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS \
                 WAYLAND_DISPLAY DISPLAY XAUTHORITY "$@"; do
            case $v in
                *=*) printf 'export %q\n' "$v" ;;
                XAUTHORITY) if [ -n "${XAUTHORITY:-}" ]; then printf 'export XAUTHORITY=%q\n' "$XAUTHORITY"
                            else echo 'unset XAUTHORITY  # this Xwayland runs without authorization'; fi ;;
                *) printf 'export %s=%q\n' "$v" "${!v-}" ;;
            esac
        done
    } >"$tmp"
    mv "$tmp" "$DIR/env"
}

# kit_load_env: source DIR/env (the desktop must be up).
kit_load_env() {
    [ -s "$DIR/env" ] || kit_die "$DIR/env missing: is the desktop up?"
    . "$DIR/env"
}

# kit_stop PIDFILE [SECONDS]: SIGTERM the recorded process, SIGKILL it after SECONDS (default 10).
kit_stop() {
    local f=$1 secs=${2:-10} pid
    [ -s "$f" ] || return 0
    pid=$(cat "$f")
    if kit_running "$pid"; then
        kill "$pid" 2>/dev/null || true
        KIT_GUARD_PID='' kit_wait "$secs" "pid $pid to exit" kit_gone "$pid" 2>/dev/null || kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$f"
}

# kit_gone PID...: none of the processes is running.
kit_gone() { local p; for p in "$@"; do kit_running "$p" && return 1; done; return 0; }

# kit_home_pids: pids (other than this script and its ancestors) whose environment holds HOME=DIR/home.
kit_home_pids() {
    local skip=" " p=$$ q
    while [ "$p" -gt 1 ] 2>/dev/null; do skip="$skip$p "; p=$(ps -o ppid= -p "$p" | tr -d ' '); done
    for q in /proc/[0-9]*; do
        q=${q#/proc/}
        case $skip in *" $q "*) continue ;; esac
        { tr '\0' '\n' <"/proc/$q/environ"; } 2>/dev/null | grep -qxF "HOME=$DIR/home" && echo "$q"
    done
    return 0
}

# kit_sweep: end stragglers started inside the private session (D-Bus-activated helpers, test clients).
kit_sweep() {
    local pids
    pids=$(kit_home_pids)
    [ -z "$pids" ] && return 0
    kill $pids 2>/dev/null || true
    KIT_GUARD_PID='' kit_wait 5 "stragglers to exit" kit_gone $pids || kill -9 $pids 2>/dev/null || true
    pids=$(kit_home_pids); [ -z "$pids" ] || kill -9 $pids 2>/dev/null || true
}

# kit_kwin_script 'JS': run a KWin script in the session of DIR (environment already loaded) and print
# its print() lines, which KWin writes to DIR/log/kwin.log as "js: ...". A marker printed after the
# script tells when it has finished. Status 1 on a script error (KWin's message goes to stderr) or
# after 10 s without the marker.
kit_kwin_script() {
    local log=$DIR/log/kwin.log name=e2e-$$-$RANDOM offset
    local file=$XDG_RUNTIME_DIR/$name.js
    local marker="e2e-done-$name"
    printf '%s\n;print("%s");\n' "$1" "$marker" >"$file"
    offset=$(stat -c %s "$log")
    _kit_new() { tail -c +"$((offset + 1))" "$log"; }
    _kit_done() { _kit_new | grep -qF -e "js: $marker" -e "$file:"; }   # marker, or an error naming the script
    _kit_call() { gdbus call --session --dest org.kde.KWin --object-path /Scripting --method "org.kde.kwin.Scripting.$1" "${@:2}"; }
    local st=0
    if _kit_call loadScript "$file" "$name" >/dev/null && _kit_call start >/dev/null; then
        kit_wait 10 "KWin script to finish" _kit_done || true
        _kit_new | grep -vF "js: $marker" | sed -n 's/^js: //p'
        if _kit_new | grep -qF "$file:"; then _kit_new | grep -F "$file:" >&2; st=1
        elif ! _kit_new | grep -qF "js: $marker"; then st=1; fi
    else
        st=1
    fi
    _kit_call unloadScript "$name" >/dev/null 2>&1 || true
    rm -f "$file"
    return $st
}
