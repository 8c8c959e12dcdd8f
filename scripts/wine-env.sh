# Shared Wine settings for the Windows test runs; sourced by wine-run and wine-server.
# A 32-bit prefix outside the source tree is created once and reused by every build and run.
: "${OSTREL_CACHE:=${XDG_CACHE_HOME:-$HOME/.cache}/ostrel}"
export WINEPREFIX="${OSTREL_WINEPREFIX:-$OSTREL_CACHE/wine32}"
export WINEARCH=win32
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer prompts: the tests need neither .NET nor HTML.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Creates the prefix when it is missing or was left half made. Several test programs may start
# at once, so creation is serialised with a lock and the finished prefix is marked.
ostrel_wine_prefix_ready() {
    local mark="$WINEPREFIX/.ostrel-ready"
    [[ -f "$mark" ]] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        [[ -f "$mark" ]] && exit 0
        rm -rf "$WINEPREFIX"
        echo "wine-run: creating the 32-bit Wine prefix $WINEPREFIX" >&2
        wine wineboot --init >/dev/null 2>&1 || true
        # A crashing test must end with a backtrace on the console, never wait on a dialog.
        wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
            >/dev/null 2>&1
        # The registry reaches the prefix's files when the server that holds it ends.
        wineserver -w
        if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
            echo "wine-run: could not create the Wine prefix $WINEPREFIX" >&2
            exit 1
        fi
        touch "$mark"
    ) 9>"$WINEPREFIX.lock"
}
