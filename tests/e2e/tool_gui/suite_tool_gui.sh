#!/usr/bin/env bash
# The update tool's window as a person meets it, in English and in Japanese: start-up with and
# without a converter (order of the start-up steps, message 111), the single-instance guard, the
# hidden check box, the About box, the ways out, "[1] Reference", "[2] Write" without an
# update-mode device (message 125, then 121 on Exit), and the progress bar's pixels.
# Screenshots land in the work folder's screens/.
# In English, a client without the window then makes the same update, for the time comparison.
#   suite_tool_gui.sh BRG40MFUP_EXE ROBOT_EXE FWU_GEN_EXE UPDATE_CLIENT_EXE
set -uo pipefail
tool_exe=$1
robot_exe=$2
gen_exe=$3
client_exe=$4
# shellcheck source=../harness.sh
source "$(dirname "$0")/../harness.sh"

e2e_begin wine_tool_gui
e2e_xvfb
SCREENS=$E2E_WORK/screens
mkdir -p "$SCREENS"

now_ms() { date +%s%3N; }

# shellcheck source=tool_robot.sh
source "$(dirname "$0")/tool_robot.sh"

# The time in milliseconds of the first simulator event that matches REGEX.
event_ms() {
    local line
    line=$(grep -iE -m1 -- "$1" "$E2E_WORK/events_$TAG") || return 1
    local stamp=${line%% *}
    local micro=${stamp#*.}
    echo $((${stamp%.*} * 1000 + 10#$micro / 1000))
}

robot_value() {  # robot_value RUN REGEX: the number after "at " on the first matching line
    tr -d '\r' <"$E2E_WORK/$1.out" | grep -E -m1 -- "$2" | sed -E 's/.* at ([0-9]+).*/\1/'
}

to_png() {  # the robot's BMP files into PNG for people to look at
    local bmp
    for bmp in "$SCREENS"/*.bmp; do
        [[ -e $bmp ]] || continue
        if command -v convert >/dev/null && convert "$bmp" "${bmp%.bmp}.png" 2>/dev/null; then
            rm -f "$bmp"
        fi
    done
}

shot() { e2e_winpath "$SCREENS/$1_$TAG.bmp"; }

one_language() {  # one_language en|ja
    TAG=$1
    local main_title about_title
    if [[ $TAG == ja ]]; then
        e2e_prefix --japanese
        main_title="NKV-BRG40M ﾌｧｰﾑｱｯﾌﾟﾂｰﾙ"
        about_title="Brg40mFupのﾊﾞｰｼﾞｮﾝ情報"
    else
        e2e_prefix
        main_title="NKV-BRG40M FirmwareUpdateTool"
        about_title="About Brg40mFup"
    fi
    e2e_sim_start
    APP=$(e2e_stage "app_$TAG" "$tool_exe" "$(dirname "$tool_exe")/Brg40Firmup_x64.dll" \
        "$BRG40_SOURCE_DIR/sim/driver/brg40fup.inf" "$robot_exe")
    local gen_dir
    gen_dir=$(e2e_stage "gen_$TAG" "$gen_exe")
    e2e_wine "gen_$TAG" "$gen_dir/$(basename "$gen_exe")" "$(e2e_winpath "$APP/new.fwu")" 1.05
    e2e_wine "gen_big_$TAG" "$gen_dir/$(basename "$gen_exe")" "$(e2e_winpath "$APP/big.fwu")" 1.07 size=22537
    e2e_check "$TAG: test images written (22528 and 22537 bytes)" \
        test "$(stat -c %s "$APP/new.fwu" 2>/dev/null)" = 22528 -a "$(stat -c %s "$APP/big.fwu" 2>/dev/null)" = 22537

    # --- A: converter 1.04 present --------------------------------------------------------------
    e2e_ctl attach 3 version=1.04 >/dev/null
    e2e_ctl events clear >/dev/null
    local t0
    t0=$(now_ms)
    e2e_wine_bg "tool_a_$TAG" "$APP/Brg40mFup.exe"
    robot "start_$TAG" "wait-main 60" "expect-no-msgbox 300" "expect-text 1005 1.04" "expect-text 1006" \
        "expect-text 1003" "expect-enabled 1000 0" "expect-enabled 1004 1" "expect-enabled 2 1" \
        "expect-visible 1007 0" "expect-visible 1002 0" "expect-visible 1 0" "expect-focus 1004" \
        "expect-style 0 0x90CA00C0" "expect-exstyle 0 0x00040000" "expect-style 1003 0x0800" "expect-style 1001 0x01" \
        "expect-style 1007 0x03" "expect-style 1 0x01" "shot main $(shot main)"
    e2e_expect_grep "$TAG: the window's title" "$E2E_WORK/start_$TAG.out" "title=$main_title\$"

    # The order of the start-up steps, from the converter's events and the installed driver file.
    e2e_ctl events >"$E2E_WORK/events_$TAG"
    local t_version t_mode t_window t_inf inf
    t_version=$(event_ms 'lpt3 scsi da') || t_version=""
    t_mode=$(event_ms 'lpt3 scsi fe') || t_mode=""
    t_window=$(robot_value "start_$TAG" 'main visible at')
    inf=$(grep -l -i 'VID_1F3A&PID_0C21' "$WINEPREFIX"/drive_c/windows/inf/*.inf 2>/dev/null | head -n1)
    # The copy keeps the source's modification time; its status change time is the copy's own.
    t_inf=$([[ -n $inf ]] && stat -c %.3Z "$inf" | tr -d .)
    echo "      start ${t0}, version query ${t_version:-?}, driver file ${t_inf:-?} ($inf), mode command ${t_mode:-?}, window ${t_window:-?}"
    e2e_check "$TAG: the version query came first" test -n "$t_version" -a -n "$t_mode" -a "${t_version:-0}" -lt "${t_mode:-0}"
    e2e_check "$TAG: the driver was installed after the version query and before the mode command" \
        test -n "$t_inf" -a "${t_version:-0}" -le "${t_inf:-0}" -a "${t_inf:-0}" -le "${t_mode:-0}"
    e2e_check "$TAG: the window came at least a second after the mode command" \
        test -n "$t_window" -a $((${t_window:-0} - ${t_mode:-0})) -ge 950
    e2e_check "$TAG: the mode command was sent once" test "$(grep -ic 'lpt3 scsi fe' "$E2E_WORK/events_$TAG")" -eq 1
    if [[ -n $t_window ]]; then
        echo "MEASURE $TAG start-up to the window without the 1 s pause: $((t_window - t0 - 1000)) ms" \
            "(of which after the mode command: $((t_window - t_mode - 1000)) ms)"
    fi

    # A second copy ends at once, without a window, a message or a word to the converter.
    local t1 t2 events_before
    events_before=$(e2e_ctl events | wc -l)
    t1=$(now_ms)
    e2e_wine "second_$TAG" --timeout 60 "$APP/Brg40mFup.exe"
    local second_status=$?
    t2=$(now_ms)
    echo "      the second copy ran for $((t2 - t1)) ms (status $second_status)"
    e2e_check "$TAG: a second copy ends by itself, silently" test "$second_status" -eq 0
    e2e_check "$TAG: the second copy did not talk to the converter" test "$(e2e_ctl events | wc -l)" -eq "$events_before"

    # The hidden button 1002 repeats the order into update mode (a converter in normal mode again).
    e2e_ctl detach 3 >/dev/null
    e2e_ctl attach 3 version=1.04 >/dev/null
    e2e_ctl events clear >/dev/null
    robot "mode_button_$TAG" "command 1002" "sleep 1500" "expect-no-msgbox 100"
    e2e_ctl events >"$E2E_WORK/events_1002_$TAG"
    e2e_check "$TAG: button 1002 sent the update-mode command once and no version query" \
        test "$(grep -ic 'lpt3 scsi fe' "$E2E_WORK/events_1002_$TAG")" -eq 1 -a "$(grep -ic 'lpt3 scsi da' "$E2E_WORK/events_1002_$TAG")" -eq 0

    robot "dialog_$TAG" "expect-main-count 1" "expect-no-msgbox 200" \
        "accel" "expect-visible 1007 1" "expect-checked 1007 0" "accel" "expect-visible 1007 1" "expect-checked 1007 0" \
        "syscommand 0x10" "wait-about 10" "shot about $(shot about)" "close-about" \
        "click 1004" "open-file 20 $(e2e_winpath "$APP/big.fwu")" "sleep 500" \
        "expect-text 1003" "expect-text 1006" "expect-enabled 1000 0" \
        "click 1004" "open-file 20 $(e2e_winpath "$APP/new.fwu")" "sleep 500" \
        "expect-text 1006 1.05" "expect-text 1003 $(e2e_winpath "$APP/new.fwu")" "expect-enabled 1000 1" \
        "bar-check 50 $(shot bar50) Write Flash 050%" \
        "bar-check 30 $(shot bar30) close session... 030%" \
        "click 1000" "wait-msgbox 60" "expect-msgbox 125 124" "shot msgbox $(shot msg125)" "answer 1" \
        "click 2" "wait-msgbox 60" "expect-msgbox 121 120" "shot msgbox $(shot msg121)" "answer 1" "wait-gone 30"
    e2e_expect_grep "$TAG: the About box's title" "$E2E_WORK/dialog_$TAG.out" "about title=$about_title\$"
    e2e_wine_wait "tool_a_$TAG" 30
    e2e_check "$TAG: the program ended after Exit" test $? -eq 0
    e2e_expect_grep "$TAG: a failed discovery is reported on standard output" \
        "$E2E_WORK/tool_a_$TAG.out" '^Failed to GetUsbDeviceFileName err - -?[0-9]+$'
    # Write: one read of the preserved block; Exit: the first read of the check, and no more.
    e2e_expect_eq "$TAG: two failed transfers for Write and two for Exit" \
        "$(tr -d '\r' <"$E2E_WORK/tool_a_$TAG.out" | grep -c '^Failed to GetUsbDeviceFileName err - ')" 4
    e2e_ctl events >"$E2E_WORK/events_$TAG"
    e2e_check "$TAG: nothing reached the converter's loader" bash -c "! grep -q 'pipe-write' '$E2E_WORK/events_$TAG'"

    # --- B, C, D: no converter: message 111 first; Esc, the close box, command 1 -----------------
    e2e_ctl detach 3 >/dev/null
    e2e_wine_bg "tool_b_$TAG" "$APP/Brg40mFup.exe"
    robot "absent_$TAG" "wait-msgbox 60" "expect-msgbox 111 102" "expect-main-hidden" "shot msgbox $(shot msg111)" \
        "answer 1" "wait-main 20" "expect-text 1005 FF.FF" "expect-enabled 1000 0" \
        "key 0x1B" "wait-msgbox 60" "expect-msgbox 121 120" "answer 1" "wait-gone 30"
    e2e_wine_wait "tool_b_$TAG" 30
    e2e_check "$TAG: Esc ended the program" test $? -eq 0

    e2e_wine_bg "tool_c_$TAG" "$APP/Brg40mFup.exe"
    robot "closebox_$TAG" "wait-msgbox 60" "answer 1" "wait-main 20" \
        "close-box" "wait-msgbox 60" "expect-msgbox 121 120" "answer 1" "wait-gone 30"
    e2e_wine_wait "tool_c_$TAG" 30
    e2e_check "$TAG: the close box ended the program" test $? -eq 0

    e2e_wine_bg "tool_d_$TAG" "$APP/Brg40mFup.exe"
    robot "command1_$TAG" "wait-msgbox 60" "answer 1" "wait-main 20" \
        "command 1" "expect-no-msgbox 1500" "wait-gone 30"
    e2e_wine_wait "tool_d_$TAG" 30
    e2e_check "$TAG: command 1 ended the program" test $? -eq 0
    e2e_check "$TAG: command 1 skipped the closing check (no transfer tried)" \
        bash -c "! grep -q 'GetUsbDeviceFileName' '$E2E_WORK/tool_d_$TAG.out'"

    # --- E: a whole update, 1.04 to 1.05, with the update-mode face serving the loader ------------
    e2e_ctl attach 3 version=1.04 >/dev/null
    e2e_update_face_start
    e2e_ctl flash 3 >"$E2E_WORK/flash_before_$TAG"
    e2e_wine_bg "tool_e_$TAG" "$APP/Brg40mFup.exe"
    robot "update_$TAG" "wait-main 60" "expect-no-msgbox 200" "expect-text 1005 1.04" \
        "click 1004" "open-file 20 $(e2e_winpath "$APP/new.fwu")" "expect-text 1006 1.05" "now" \
        "click 1000" "watch-bar 180 $(e2e_winpath "$SCREENS/update_$TAG")" "now" \
        "expect-msgbox 119 110" "expect-text 1001 Completed!!" "shot msgbox $(shot msg119)" "answer 1" "now" \
        "shot main $(shot completed)" \
        "click 2" "watch-bar 180 $(e2e_winpath "$SCREENS/close_$TAG")" "now" "expect-no-msgbox 500" "wait-gone 30"
    e2e_wine_wait "tool_e_$TAG" 30
    e2e_check "$TAG: the program ended after the update" test $? -eq 0
    local U=$E2E_WORK/update_$TAG.out
    e2e_expect_grep "$TAG: no question before writing a newer image" "$U" 'watch ended: msgbox'
    e2e_expect_grep "$TAG: the erase phase showed its progress" "$U" '^bar: Erase Flash [0-9]{3}%$'
    e2e_expect_grep "$TAG: the write phase showed its progress" "$U" '^bar: Write Flash [0-9]{3}%$'
    e2e_expect_grep "$TAG: the close showed its progress up to 100" "$U" '^bar: close session\.\.\. 100%$'
    e2e_check "$TAG: the percentages never went back within a phase" bash -c "
        tr -d '\r' <'$U' | sed -nE 's/^bar: (Erase Flash|Write Flash|close session\.\.\.) ([0-9]{3})%$/\1 \2/p' |
        awk '{ p = \$NF; \$NF = \"\"; if (\$0 == ph && p + 0 < last + 0) bad = 1; ph = \$0; last = p } END { exit bad }'"
    e2e_ctl loader-transcript 3 >"$E2E_WORK/loader_$TAG"
    local L=$E2E_WORK/loader_$TAG
    e2e_expect_eq "$TAG: 1 + 1408 reads, 352 erases, 1408 writes, one close byte" \
        "$(grep -c ' 01' "$L") $(grep -c ' 03' "$L") $(grep -c ' 02' "$L") $(grep -c ' FF$' "$L")" "1409 352 1408 1"
    e2e_check "$TAG: the close byte came last" bash -c "tail -n1 '$L' | grep -q ' FF\$'"
    e2e_ctl state >"$E2E_WORK/state_$TAG"
    e2e_expect_grep "$TAG: the converter is back in normal mode with 1.05" "$E2E_WORK/state_$TAG" \
        '^lpt3 mode=normal version=1\.05 intact=1'
    e2e_ctl flash 3 >"$E2E_WORK/flash_after_$TAG"
    e2e_expect_grep "$TAG: the preserved block is the device's own" "$E2E_WORK/flash_after_$TAG" 'kept=1'
    local T=$E2E_WORK/tool_e_$TAG.out transfers
    transfers=$(tr -d '\r' <"$T" | grep -c '^Opened successfully\.$')
    e2e_expect_eq "$TAG: every transfer found the device (attempting, name, opened)" \
        "$(tr -d '\r' <"$T" | grep -c '^Attempting to open ') $(tr -d '\r' <"$T" | grep -c '^completeDeviceName = (') $transfers" \
        "$((2 * (1 + 352 + 1408 + 1408) + 1)) $((2 * (1 + 352 + 1408 + 1408) + 1)) $((2 * (1 + 352 + 1408 + 1408) + 1))"
    local n=() line
    while read -r line; do n+=("${line##* }"); done < <(tr -d '\r' <"$U" | grep -E '^robot: now ')
    if ((${#n[@]} == 4)); then
        echo "MEASURE $TAG programming run (Write to message 119): $((n[1] - n[0])) ms;" \
            "closing check (Exit to the end): $((n[3] - n[2])) ms; $((transfers)) transfers," \
            "$(((n[1] - n[0] + n[3] - n[2]) * 1000 / (transfers > 0 ? transfers : 1))) us per transfer"
    fi

    # The same update by a client without the window (English only): what the window adds.
    if [[ $TAG == en ]]; then
        cp "$client_exe" "$APP/"
        e2e_wine client --timeout 300 "$APP/$(basename "$client_exe")" "$(e2e_winpath "$APP/new.fwu")"
        e2e_check "the client without the window completed the same update" test $? -eq 0
        local c
        c=$(tr -d '\r' <"$E2E_WORK/client.err" | grep -m1 '^client ')
        echo "      $c"
        local run_ms close_ms
        run_ms=$(sed -nE 's/.*run_ms=([0-9]+).*/\1/p' <<<"$c")
        close_ms=$(sed -nE 's/.*close_ms=([0-9]+).*/\1/p' <<<"$c")
        if [[ -n $run_ms && -n $close_ms && ${#n[@]} == 4 ]]; then
            local tool_ms=$((n[1] - n[0] + n[3] - n[2])) client_ms=$((run_ms + close_ms))
            echo "MEASURE run + check: tool $tool_ms ms, client without window $client_ms ms;" \
                "the window's share $(((tool_ms - client_ms) * 100 / (tool_ms > 0 ? tool_ms : 1)))%;" \
                "client $((client_ms * 1000 / (2 * (1 + 352 + 1408 + 1408) + 1))) us per transfer"
        fi
    fi
}

one_language en
one_language ja
to_png
echo "      screenshots: $SCREENS"
e2e_end
