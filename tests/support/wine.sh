#!/usr/bin/env bash
# Runs MinGW-built tests under Wine, in one private prefix and locale kept in <state>.
#   wine.sh <wine> <wineserver> <state> setup
#   wine.sh <wine> <wineserver> <state> run <name> [server=<server.exe>:<mode>[:<ms>]]
#           [env=<NAME>=<value>]... <program.exe> [args...]
# run: in a fresh folder <state>/cases/<name>, first the test DDE server (if any) until it is
# ready, then the program, whose exit code is the result.
set -euo pipefail

wine=$1 wineserver=$2 state=$3 action=$4
shift 4

# WINEDEBUG_TEST (say "+seh") shows Wine's own trace of a failing test.
export WINEPREFIX=$state/prefix WINEDEBUG=${WINEDEBUG_TEST:--all} WINEDLLOVERRIDES="mscoree,mshtml="
# Without a sound device the media-player control never returns from play(): Wine gets a home
# of its own whose ALSA default discards the sound. The machine's own settings stay as they are.
export HOME=$state/home
# Cyrillic must go through CP1251, which Wine takes from the Unix locale. Only Wine gets it,
# since this shell started before the locale existed.
export LOCPATH=$state/locale
locale_name=ru_RU.UTF-8
in_wine() { env LC_ALL=$locale_name "$wine" "$@"; }

setup() {
    if [[ ! -e $LOCPATH/$locale_name/LC_CTYPE ]]; then
        mkdir -p "$LOCPATH"
        localedef -i ru_RU -f UTF-8 "$LOCPATH/$locale_name" || {
            echo "wine.sh: cannot build the $locale_name locale (is the locales package installed?)" >&2
            exit 1
        }
    fi

    mkdir -p "$HOME"
    echo 'pcm.!default { type null }' >"$HOME/.asoundrc"

    if [[ ! -e $WINEPREFIX/.tunelark-ready ]]; then
        rm -rf "$WINEPREFIX"
        in_wine wineboot -i
        "$wineserver" -w
        touch "$WINEPREFIX/.tunelark-ready"
    fi

    # Windows run on Wine's null graphics driver, display or not: under X with no window
    # manager every hidden window would wait 2 s.
    if [[ ! -e $WINEPREFIX/.tunelark-null-graphics ]]; then
        in_wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
        "$wineserver" -w
        touch "$WINEPREFIX/.tunelark-null-graphics"
    fi
    echo "wine.sh: prefix ready (null graphics, code page from $locale_name)"
}

run() {
    local name=$1 server=
    shift
    if [[ $1 == server=* ]]; then
        server=${1#server=}
        shift
    fi
    local settings=()
    while [[ $1 == env=* ]]; do
        settings+=("${1#env=}")
        shift
    done

    local work=$state/cases/$name
    rm -rf "$work"
    mkdir -p "$work"
    cd "$work"

    local server_pid=
    cleanup() {
        [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null
        # Wait until the server is gone, or the next test's Wine may join it as it dies.
        "$wineserver" -k 2>/dev/null
        "$wineserver" -w 2>/dev/null
        wait 2>/dev/null
        return 0
    }
    trap cleanup EXIT

    if [[ -n $server ]]; then
        local exe mode hold
        IFS=: read -r exe mode hold <<<"$server"
        # shellcheck disable=SC2086
        env LC_ALL=$locale_name "$wine" "$exe" "$mode" $hold &
        server_pid=$!
        local deadline=$((SECONDS + 30))
        until [[ -e ready ]]; do
            if ! kill -0 "$server_pid" 2>/dev/null; then
                echo "wine.sh: the test server ended before it was ready" >&2
                exit 1
            fi
            if ((SECONDS > deadline)); then
                echo "wine.sh: the test server was not ready within 30 s" >&2
                exit 1
            fi
            sleep 0.1
        done
    fi

    local rc=0
    timeout 120 env LC_ALL=$locale_name "${settings[@]}" "$wine" "$@" || rc=$?
    exit "$rc"
}

case $action in
setup) setup ;;
run) run "$@" ;;
*)
    echo "usage: wine.sh <wine> <wineserver> <state> setup|run ..." >&2
    exit 2
    ;;
esac
