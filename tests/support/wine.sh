#!/usr/bin/env bash
# Runs MinGW-built tests under Wine, in one private prefix and locale kept in <state>.
#   wine.sh <wine> <wineserver> <state> setup
#   wine.sh <wine> <wineserver> <state> run <name> [server=<server.exe>:<mode>[:<ms>]]
#           [env=<NAME>=<value>]... [control=<dll>] [readonly=<folder>] <program.exe> [args...]
# run: in a fresh folder <state>/cases/<name>, first the test DDE server (if any) until it is
# ready, then the program, whose exit code is the result.
# control: the media-player control is that DLL instead of Wine's own, for this run alone.
# readonly: the program may fill <folder> of the case until it makes <folder>.ready; then the
# folder is made read-only for every Windows program of the run, and <folder>.locked says so.
set -euo pipefail

wine=$1 wineserver=$2 state=$3 action=$4
shift 4

# WINEDEBUG_TEST (say "+seh") shows Wine's own trace of a failing test.
export WINEPREFIX=$state/prefix WINEDEBUG=${WINEDEBUG_TEST:--all} WINEDLLOVERRIDES="mscoree,mshtml=;wmp=b"
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
    local settings=() control= readonly=
    while [[ $1 == env=* || $1 == control=* || $1 == readonly=* ]]; do
        case $1 in
        env=*) settings+=("${1#env=}") ;;
        control=*) control=${1#control=} ;;
        readonly=*) readonly=${1#readonly=} ;;
        esac
        shift
    done
    if [[ -n $control ]]; then
        # Wine takes a native DLL found in system32 over its own unless told otherwise, so every
        # other run asks for the builtin one (below).
        cp "$control" "$WINEPREFIX/drive_c/windows/system32/wmp.dll"
        WINEDLLOVERRIDES="$WINEDLLOVERRIDES;wmp=n"
    fi

    local work=$state/cases/$name
    rm -rf "$work"
    mkdir -p "$work"
    cd "$work"

    local server_pid= watcher_pid=
    cleanup() {
        [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null
        [[ -n $watcher_pid ]] && { kill "$watcher_pid" 2>/dev/null || true; }
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

    local as_user=()
    if [[ -n $readonly ]]; then
        # Root writes anywhere; without these two capabilities it meets the folder's mode as its
        # owner does. Every Wine process of the run, the server among them, starts from here.
        ((EUID == 0)) && as_user=(setpriv --inh-caps=-dac_override,-fowner
            --bounding-set=-dac_override,-fowner --)
        (
            for _ in $(seq 600); do
                if [[ -e $readonly.ready ]]; then
                    chmod a-w "$readonly" && touch "$readonly.locked"
                    exit
                fi
                sleep 0.1
            done
        ) &
        watcher_pid=$!
    fi

    local rc=0
    timeout 120 "${as_user[@]}" env LC_ALL=$locale_name "${settings[@]}" "$wine" "$@" || rc=$?
    [[ -n $readonly && -d $readonly ]] && chmod u+w "$readonly"
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
