# Shared set-up of the Wine suites (bash). Source it from a suite script:
#
#   source "$BRG40_SOURCE_DIR/tests/e2e/harness.sh"
#   e2e_begin my_suite                  # work folder $E2E_WORK, traps: all that follows is stopped on exit
#   e2e_prefix                          # fresh WINEPREFIX (copy of a cached template) + `wineserver -p`
#   e2e_prefix --japanese               # a fresh one in Japanese (ja_JP.UTF-8 for the Wine processes);
#                                       # without it Wine runs in English (C.UTF-8)
#   e2e_xvfb                            # Xvfb on a free display, DISPLAY exported (GUI suites only)
#   e2e_sim_start                       # the simulator; BRG40_SIM_DIR / BRG40_SIM_PORT exported
#   e2e_ctl attach 3 version=1.04       # a simulator command; prints the answer's details (brg40sim-ctl help)
#   e2e_update_face_start               # brg40sim-pipes.exe: the update-mode device's pipes under Wine
#   dir=$(e2e_stage app "$BRG40_WINDOWS_DIR/lib/Brg40Firmup_x64.dll" some.exe)   # files side by side
#   e2e_wine run1 "$dir/some.exe" args  # Wine run; output in $E2E_WORK/run1.out and run1.err; returns its status
#   e2e_wine_bg srv "$exe"; ...; e2e_wine_wait srv    # the same in the background
#   e2e_wait_until 10 COMMAND...        # polls until the command succeeds (or the time is up)
#   e2e_check "what is checked" COMMAND...            # PASS/FAIL line; counted
#   e2e_expect_grep "what" FILE REGEX   /  e2e_expect_eq "what" ACTUAL EXPECTED
#                                       # (Win64 programs end their lines with CR LF; e2e_expect_grep ignores the CR)
#   e2e_screenshot NAME                 # $E2E_WORK/NAME.png of the whole X screen
#   e2e_end                             # summary; exits 1 when any check failed
#
# Environment: BRG40_NATIVE_DIR (build of the native preset: brg40sim, brg40sim-ctl, libbrg40sg.so),
# BRG40_WINDOWS_DIR (build of the windows preset), BRG40_E2E_DIR (work folders and the prefix
# template; default $BRG40_WINDOWS_DIR/e2e). E2E_KEEP_PREFIX=1 keeps the prefix for inspection.
# Wine output never goes to a pipe: the first Wine process's helpers inherit it and would hold
# the pipe open. The SG_IO bridge is preloaded into every Wine process that e2e_wine starts.

E2E_TEMPLATE_REVISION=1  # raise when the template's making changes (its registry settings are hashed already)
E2E_NAME=${E2E_NAME:-suite}
E2E_WORK=${E2E_WORK:-}
E2E_PASSED=0
E2E_FAILED=0

e2e_log() { echo "[e2e $(date +%H:%M:%S)] $*" >&2; }
e2e_die() {
    e2e_log "FATAL: $*"
    exit 2
}

e2e_begin() {  # e2e_begin NAME
    E2E_NAME=$1
    : "${BRG40_WINDOWS_DIR:?set BRG40_WINDOWS_DIR to the build folder of the windows preset}"
    : "${BRG40_NATIVE_DIR:?set BRG40_NATIVE_DIR to the build folder of the native preset}"
    E2E_ROOT=${BRG40_E2E_DIR:-$BRG40_WINDOWS_DIR/e2e}
    E2E_WORK=$E2E_ROOT/$E2E_NAME
    E2E_CACHE=$E2E_ROOT/cache
    E2E_SIM_BIN=$BRG40_NATIVE_DIR/sim/server/brg40sim
    E2E_CTL_BIN=$BRG40_NATIVE_DIR/sim/server/brg40sim-ctl
    E2E_PRELOAD=$BRG40_NATIVE_DIR/sim/wine/libbrg40sg.so
    local f
    for f in wine wineserver wineboot Xvfb iconv flock md5sum timeout; do
        command -v "$f" >/dev/null || e2e_die "$f is missing: run scripts/install-deps"
    done
    for f in "$E2E_SIM_BIN" "$E2E_CTL_BIN" "$E2E_PRELOAD"; do
        [[ -e $f ]] || e2e_die "$f is missing: build the native preset (cmake --preset native && cmake --build --preset native)"
    done
    rm -rf "$E2E_WORK"
    mkdir -p "$E2E_WORK" "$E2E_CACHE" || e2e_die "cannot create $E2E_WORK"
    E2E_PASSED=0
    E2E_FAILED=0
    E2E_PREFIX=""
    E2E_SIM_PID=""
    E2E_XVFB_PID=""
    declare -gA E2E_BG_PIDS=()
    E2E_WINE_ENV=()
    # Never the caller's display: a suite that shows windows starts its own Xvfb (e2e_xvfb).
    unset DISPLAY
    export WINEDEBUG=${WINEDEBUG:--all}
    # No Mono/Gecko installer prompts, no desktop menu entries.
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    unset WINEPREFIX
    trap e2e__cleanup EXIT
    trap 'exit 130' INT TERM
    e2e_log "suite $E2E_NAME in $E2E_WORK"
}

# --- the Wine prefix -----------------------------------------------------------------------------

# Writes a string as a REG_MULTI_SZ value (hex(7), UTF-16LE, double NUL) for a .reg file.
e2e__multi_sz() {
    local bytes
    bytes=$(printf '%s\0\0' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -tx1 -v | tr -s ' \n' ' ')
    bytes=${bytes# }
    bytes=${bytes% }
    echo "hex(7):${bytes// /,}"
}

e2e__template_settings() {  # the .reg text (UTF-8) applied to a new template
    cat <<EOF
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"Default"="1024x768"

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"MS UI Gothic"="IPAPGothic"
"MS PGothic"="IPAPGothic"
"MS Gothic"="IPAGothic"

[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]
"Tahoma"=$(e2e__multi_sz "ipagp.ttf,IPAPGothic")
"MS Shell Dlg"=$(e2e__multi_sz "ipagp.ttf,IPAPGothic")
"MS Sans Serif"=$(e2e__multi_sz "ipagp.ttf,IPAPGothic")
EOF
}

# Builds the template prefix once per Wine version and revision (about 15 s); later runs copy it.
e2e__template() {
    local key
    # A new Wine or new settings make a new template.
    key=$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n' '_')-$( (e2e__template_settings
        echo "$E2E_TEMPLATE_REVISION") | md5sum | cut -c1-12)
    E2E_TEMPLATE=$E2E_CACHE/prefix-$key
    [[ -f $E2E_TEMPLATE/.brg40-ready ]] && return 0
    (
        flock 9
        [[ -f $E2E_TEMPLATE/.brg40-ready ]] && exit 0
        local tmp=$E2E_CACHE/prefix-building.$$
        rm -rf "$tmp"
        e2e_log "building the Wine prefix template (once per Wine version)"
        export WINEPREFIX=$tmp
        unset DISPLAY
        wineboot -i >"$E2E_CACHE/wineboot.out" 2>"$E2E_CACHE/wineboot.err" || exit 1
        # Debian's Wine leaves C:\windows\Fonts empty (no Marlett for the title-bar buttons);
        # the IPA fonts stand in for the Japanese system fonts.
        cp /usr/share/wine/fonts/* "$tmp/drive_c/windows/Fonts/" || exit 1
        cp /usr/share/fonts/opentype/ipafont-gothic/ipag*.ttf "$tmp/drive_c/windows/Fonts/" || exit 1
        # regedit reads a version 5 file as UTF-16 when it starts with the byte-order mark.
        { printf '\xff\xfe'; e2e__template_settings | iconv -f UTF-8 -t UTF-16LE; } >"$tmp/drive_c/brg40-settings.reg"
        wine regedit /S 'C:\brg40-settings.reg' >"$E2E_CACHE/regedit.out" 2>"$E2E_CACHE/regedit.err" || exit 1
        wineserver -w
        rm -f "$tmp/drive_c/brg40-settings.reg"
        rm -f "$tmp"/dosdevices/lpt* "$tmp"/dosdevices/com*
        touch "$tmp/.brg40-ready"
        rm -rf "$E2E_TEMPLATE"
        mv "$tmp" "$E2E_TEMPLATE"
        local old
        for old in "$E2E_CACHE"/prefix-*; do  # templates of an earlier Wine or earlier settings
            [[ $old == "$E2E_TEMPLATE" ]] || rm -rf "$old"
        done
    ) 9>"$E2E_CACHE/template.lock" || e2e_die "building the prefix template failed (see $E2E_CACHE/wineboot.err)"
}

# Copies the template: hard links for the large DLL folders (never written by the tests), real
# copies of everything else (Wine rewrites the registry and .ini files in place).
e2e__copy_prefix() {  # SRC DST
    cp -al "$1" "$2" || return 1
    (
        cd "$2" || exit 1
        find . -type f -not -path './drive_c/windows/system32/*' -not -path './drive_c/windows/winsxs/*' \
            -not -path './drive_c/windows/syswow64/*' -print0 |
            while IFS= read -r -d '' f; do
                cp -p "$f" "$f.brg40copy" && mv -f "$f.brg40copy" "$f" || exit 1
            done
    )
}

# Glibc locale ja_JP.UTF-8 for the Wine processes: the system's, or one generated into the cache.
e2e__japanese_locale() {
    if locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$'; then
        E2E_WINE_ENV+=(LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8)
        return 0
    fi
    local dir=$E2E_CACHE/locale
    if [[ ! -f $dir/ja_JP.UTF-8/LC_CTYPE ]]; then
        (
            flock 9
            [[ -f $dir/ja_JP.UTF-8/LC_CTYPE ]] && exit 0
            mkdir -p "$dir"
            localedef -i ja_JP -f UTF-8 "$dir/ja_JP.UTF-8" >"$E2E_CACHE/localedef.out" 2>&1
            [[ -f $dir/ja_JP.UTF-8/LC_CTYPE ]]
        ) 9>"$E2E_CACHE/locale.lock" || e2e_die "localedef ja_JP.UTF-8 failed (see $E2E_CACHE/localedef.out)"
    fi
    E2E_WINE_ENV+=(LOCPATH="$dir" LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8)
}

e2e__stop_prefix() {
    [[ -n $E2E_PREFIX ]] || return 0
    WINEPREFIX=$E2E_PREFIX wineserver -k >/dev/null 2>&1
    WINEPREFIX=$E2E_PREFIX wineserver -w >/dev/null 2>&1
    if [[ ${E2E_KEEP_PREFIX:-0} != 1 ]]; then
        rm -rf "$E2E_PREFIX"
    fi
    E2E_PREFIX=""
}

# e2e_prefix [--japanese]: a fresh prefix with its own persistent wineserver. Called again, it
# stops the previous prefix (and its processes) first; a running simulator is restarted for the
# new prefix with an empty bench (attach the devices again).
e2e_prefix() {
    local japanese=0
    [[ ${1:-} == --japanese ]] && japanese=1
    e2e__template
    e2e__stop_prefix
    E2E_WINE_ENV=()
    local name=prefix
    ((japanese)) && name=prefix-ja
    E2E_PREFIX=$E2E_WORK/$name
    rm -rf "$E2E_PREFIX"
    e2e__copy_prefix "$E2E_TEMPLATE" "$E2E_PREFIX" || e2e_die "cannot copy the prefix template"
    rm -f "$E2E_PREFIX/.brg40-ready"
    export WINEPREFIX=$E2E_PREFIX
    if ((japanese)); then
        e2e__japanese_locale
    else
        E2E_WINE_ENV=(LANG=C.UTF-8 LC_ALL=C.UTF-8)  # Wine's English (code page 1252), whatever the caller's locale
    fi
    # Kept alive between the runs of a suite; if the suite is killed outright (a ctest time-out)
    # the server still ends a minute after its last process.
    wineserver -p60 || e2e_die "wineserver did not start"
    if [[ -n $E2E_SIM_PID ]]; then
        e2e__sim_stop
        e2e_sim_start
    fi
    e2e_log "prefix $E2E_PREFIX${E2E_WINE_ENV[*]:+ (${E2E_WINE_ENV[*]})}"
}

# --- the X server -------------------------------------------------------------------------------

e2e_xvfb() {
    [[ -n $E2E_XVFB_PID ]] && return 0
    local fdfile=$E2E_WORK/xvfb.display
    : >"$fdfile"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >"$E2E_WORK/xvfb.log" 2>&1 &
    E2E_XVFB_PID=$!
    local i
    for ((i = 0; i < 100; i++)); do
        [[ -s $fdfile ]] && break
        sleep 0.05
    done
    [[ -s $fdfile ]] || e2e_die "Xvfb did not start (see $E2E_WORK/xvfb.log)"
    export DISPLAY=:$(head -n1 "$fdfile")
    e2e_log "Xvfb on $DISPLAY"
}

e2e_screenshot() {  # e2e_screenshot NAME -> $E2E_WORK/NAME.png
    import -window root -display "$DISPLAY" "$E2E_WORK/$1.png" >/dev/null 2>&1
}

# --- the simulator ------------------------------------------------------------------------------

e2e_sim_start() {
    [[ -n $E2E_PREFIX ]] || e2e_die "e2e_prefix before e2e_sim_start: the simulator links its devices into the prefix"
    export BRG40_SIM_DIR=$E2E_WORK/sim
    rm -rf "$BRG40_SIM_DIR"
    mkdir -p "$BRG40_SIM_DIR"
    unset BRG40_SIM_PORT
    "$E2E_SIM_BIN" --dir "$BRG40_SIM_DIR" --prefix "$E2E_PREFIX" >"$E2E_WORK/sim.out" 2>&1 &
    E2E_SIM_PID=$!
    local i
    for ((i = 0; i < 100; i++)); do
        [[ -s $BRG40_SIM_DIR/port ]] && break
        sleep 0.05
    done
    [[ -s $BRG40_SIM_DIR/port ]] || e2e_die "the simulator did not start (see $E2E_WORK/sim.out)"
    export BRG40_SIM_PORT
    BRG40_SIM_PORT=$(cat "$BRG40_SIM_DIR/port")
    e2e_log "simulator on port $BRG40_SIM_PORT"
}

e2e__sim_stop() {
    [[ -n $E2E_SIM_PID ]] || return 0
    "$E2E_CTL_BIN" events >"$E2E_WORK/sim.events" 2>/dev/null
    "$E2E_CTL_BIN" shutdown >/dev/null 2>&1 || kill "$E2E_SIM_PID" 2>/dev/null
    local i
    for ((i = 0; i < 40; i++)); do
        kill -0 "$E2E_SIM_PID" 2>/dev/null || break
        sleep 0.05
    done
    kill -9 "$E2E_SIM_PID" 2>/dev/null
    wait "$E2E_SIM_PID" 2>/dev/null
    E2E_SIM_PID=""
}

e2e_ctl() { "$E2E_CTL_BIN" "$@"; }

# e2e_update_face_start: the converter's update-mode face (brg40sim-pipes.exe, a Wine process)
# beside the simulator; it serves the update-mode device while the simulator has one. It ends
# with the simulator or the prefix.
e2e_update_face_start() {
    local exe=$BRG40_WINDOWS_DIR/sim/pipes/brg40sim-pipes.exe ready=$E2E_WORK/update_face.ready
    [[ -e $exe ]] || e2e_die "$exe is missing: build the windows preset"
    [[ -n $E2E_SIM_PID ]] || e2e_die "e2e_sim_start before e2e_update_face_start"
    rm -f "$ready"
    e2e_wine_bg update_face "$exe" --ready-file "$(e2e_winpath "$ready")"
    e2e_wait_until 30 test -e "$ready" || e2e_die "the update-mode face did not start (see $E2E_WORK/update_face.*)"
}

# --- Wine runs ----------------------------------------------------------------------------------

e2e_winpath() {  # Unix path -> the same file as a Windows path through drive Z:
    local p
    p=$(realpath -m "$1")
    p=${p//\//\\}
    echo "Z:$p"
}

# e2e_stage NAME FILE... : copies the files into $E2E_WORK/NAME (side by side) and prints the folder.
e2e_stage() {
    local dir=$E2E_WORK/$1
    shift
    mkdir -p "$dir"
    cp "$@" "$dir/" || e2e_die "cannot stage $*"
    echo "$dir"
}

# e2e_wine NAME [--timeout SECONDS] PROGRAM [ARGS...]: returns the program's exit status
# (124 when the time-out ended it).
e2e_wine() {
    local name=$1 limit=120
    shift
    if [[ ${1:-} == --timeout ]]; then
        limit=$2
        shift 2
    fi
    [[ -n $E2E_PREFIX ]] || e2e_die "e2e_prefix before e2e_wine"
    env "${E2E_WINE_ENV[@]}" LD_PRELOAD="$E2E_PRELOAD" timeout -k 5 "$limit" wine "$@" \
        >"$E2E_WORK/$name.out" 2>"$E2E_WORK/$name.err" </dev/null
}

e2e_wine_bg() {  # e2e_wine_bg NAME PROGRAM [ARGS...]
    local name=$1
    shift
    [[ -n $E2E_PREFIX ]] || e2e_die "e2e_prefix before e2e_wine_bg"
    env "${E2E_WINE_ENV[@]}" LD_PRELOAD="$E2E_PRELOAD" wine "$@" \
        >"$E2E_WORK/$name.out" 2>"$E2E_WORK/$name.err" </dev/null &
    E2E_BG_PIDS[$name]=$!
}

e2e_wine_wait() {  # e2e_wine_wait NAME [SECONDS]: its exit status, 124 after the time-out
    local name=$1 limit=${2:-60} pid=${E2E_BG_PIDS[$1]:-}
    [[ -n $pid ]] || return 127
    local i
    for ((i = 0; i < limit * 10; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        unset "E2E_BG_PIDS[$name]"
        return 124
    fi
    wait "$pid"
    local status=$?
    unset "E2E_BG_PIDS[$name]"
    return $status
}

# e2e_wait_until SECONDS COMMAND...: polls the command every 0.1 s; its last status.
e2e_wait_until() {
    local limit=$1 i
    shift
    for ((i = 0; i < limit * 10; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    "$@"
}

# --- checks -------------------------------------------------------------------------------------

e2e_check() {  # e2e_check "what" COMMAND...
    local what=$1
    shift
    if "$@"; then
        E2E_PASSED=$((E2E_PASSED + 1))
        echo "PASS  $what"
    else
        E2E_FAILED=$((E2E_FAILED + 1))
        echo "FAIL  $what"
    fi
}

e2e_expect_grep() {  # e2e_expect_grep "what" FILE EXTENDED-REGEX   (CR of CRLF line ends ignored)
    # grep reads all its input: with -q it could stop early and tr's SIGPIPE fail the pipeline.
    if tr -d '\r' <"$2" 2>/dev/null | grep -E -- "$3" >/dev/null; then
        e2e_check "$1" true
    else
        e2e_check "$1" false
        echo "      no line of $2 matches: $3" >&2
        sed 's/^/      | /' "$2" 2>/dev/null | head -40 >&2
    fi
}

e2e_expect_eq() {  # e2e_expect_eq "what" ACTUAL EXPECTED
    if [[ $2 == "$3" ]]; then
        e2e_check "$1" true
    else
        e2e_check "$1" false
        if [[ $2$3 == *$'\n'* ]]; then
            diff <(echo "$3") <(echo "$2") | sed 's/^/      /' >&2  # < expected, > got
        else
            echo "      got:      $2" >&2
            echo "      expected: $3" >&2
        fi
    fi
}

e2e_end() {
    echo "$E2E_NAME: $E2E_PASSED passed, $E2E_FAILED failed${E2E_WORK:+ (work folder $E2E_WORK)}"
    ((E2E_FAILED == 0 && E2E_PASSED > 0))
    exit $?
}

e2e__cleanup() {
    local status=$?
    local name
    for name in "${!E2E_BG_PIDS[@]}"; do
        kill "${E2E_BG_PIDS[$name]}" 2>/dev/null
    done
    e2e__stop_prefix
    e2e__sim_stop
    if [[ -n $E2E_XVFB_PID ]]; then
        kill "$E2E_XVFB_PID" 2>/dev/null
        wait "$E2E_XVFB_PID" 2>/dev/null
        E2E_XVFB_PID=""
    fi
    exit $status
}
