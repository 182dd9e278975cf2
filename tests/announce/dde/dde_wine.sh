#!/usr/bin/env bash
# Runs the DDE tests under Wine, in a private prefix and locale kept in <state>.
#   dde_wine.sh setup <wine> <wineserver> <state>
#   dde_wine.sh run <wine> <wineserver> <state> <server.exe> <accept|reject|hang <ms>|none> <driver.exe> <case>
set -euo pipefail

action=$1 wine=$2 wineserver=$3 state=$4
shift 4

export WINEPREFIX=$state/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Cyrillic must go through CP1251, which Wine takes from the Unix locale. Only Wine gets it,
# since this shell started before the locale existed.
export LOCPATH=$state/locale
locale_name=ru_RU.UTF-8
in_wine() { env LC_ALL=$locale_name "$wine" "$@"; }

setup() {
    if [[ ! -e $LOCPATH/$locale_name/LC_CTYPE ]]; then
        mkdir -p "$LOCPATH"
        localedef -i ru_RU -f UTF-8 "$LOCPATH/$locale_name" || {
            echo "dde_wine: cannot build the $locale_name locale (is the locales package installed?)" >&2
            exit 1
        }
    fi

    if [[ ! -e $WINEPREFIX/.tunelark-ready ]]; then
        rm -rf "$WINEPREFIX"
        in_wine wineboot -i
        "$wineserver" -w
        touch "$WINEPREFIX/.tunelark-ready"
    fi

    # Wine needs a display unless told to draw nowhere; follow what this run has.
    local graphics=null
    [[ -n ${DISPLAY:-} ]] && graphics=default
    if [[ $(cat "$WINEPREFIX/.tunelark-graphics" 2>/dev/null) != "$graphics" ]]; then
        if [[ $graphics == null ]]; then
            in_wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
        else
            in_wine reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f >/dev/null || true
        fi
        "$wineserver" -w
        echo "$graphics" >"$WINEPREFIX/.tunelark-graphics"
    fi
    echo "dde_wine: prefix ready ($graphics graphics, code page from $locale_name)"
}

run() {
    local server=$1 mode=$2
    shift 2
    local hold=
    if [[ $mode == hang ]]; then
        hold=$1
        shift
    fi
    local driver=$1 case_name=$2

    local work=$state/cases/$case_name
    rm -rf "$work"
    mkdir -p "$work"
    cd "$work"

    local server_pid=
    cleanup() {
        [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null
        "$wineserver" -k 2>/dev/null
        wait 2>/dev/null
        return 0
    }
    trap cleanup EXIT

    if [[ $mode != none ]]; then
        # shellcheck disable=SC2086
        env LC_ALL=$locale_name "$wine" "$server" "$mode" $hold &
        server_pid=$!
        local deadline=$((SECONDS + 30))
        until [[ -e ready ]]; do
            if ! kill -0 "$server_pid" 2>/dev/null; then
                echo "dde_wine: the test server ended before it was ready" >&2
                exit 1
            fi
            if ((SECONDS > deadline)); then
                echo "dde_wine: the test server was not ready within 30 s" >&2
                exit 1
            fi
            sleep 0.1
        done
    fi

    local rc=0
    timeout 90 env LC_ALL=$locale_name "$wine" "$driver" "$case_name" || rc=$?
    exit "$rc"
}

case $action in
setup) setup ;;
run) run "$@" ;;
*)
    echo "usage: dde_wine.sh setup|run ..." >&2
    exit 2
    ;;
esac
