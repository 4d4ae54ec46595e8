#!/usr/bin/env bash
# Updates through the window that do not go straight through (English): a damaged checksum (115),
# the other model's tag (113, then written once the hidden check box is ticked), the same version
# (question 114: No sends nothing), a failed write (117) and a second Write in the same session,
# a failed erase (116, Exit shows 121, the converter stays in update mode), a write that fails
# after the last erase followed by Exit (121), and the next start (111, FF.FF) from which a new
# update succeeds. The preserved block survives all of it, across the tool's starts.
# Throughout, a DLL planted beside the tool as newdev.dll (native DLLs preferred) is never loaded,
# and during the last write and close the window answers another process within 250 ms.
#   suite_tool_update.sh BRG40MFUP_EXE ROBOT_EXE FWU_GEN_EXE PLANT_MARKER_DLL
set -uo pipefail
tool_exe=$1
robot_exe=$2
gen_exe=$3
plant_dll=$4
# shellcheck source=../harness.sh
source "$(dirname "$0")/../harness.sh"

e2e_begin wine_tool_update
e2e_xvfb
e2e_prefix
e2e_sim_start
e2e_update_face_start
TAG=en
APP=$(e2e_stage app "$tool_exe" "$(dirname "$tool_exe")/Brg40Firmup_x64.dll" "$BRG40_SOURCE_DIR/sim/driver/brg40fup.inf" \
    "$robot_exe" "$gen_exe")
gen() { e2e_wine "gen_$1" "$APP/$(basename "$gen_exe")" "$(e2e_winpath "$APP/$1.fwu")" "${@:2}"; }
gen new105 1.05
gen same104 1.04
gen damaged 1.05 damage=1
gen other106 1.06 model=0x0C20
img() { e2e_winpath "$APP/$1.fwu"; }

# newdev.dll is no known DLL and no Wine component imports it by itself: a copy beside the tool
# is what Windows would load first if the tool named it without the system folder.
cp "$plant_dll" "$APP/newdev.dll" || e2e_die "cannot plant newdev.dll"
E2E_WINE_ENV+=(WINEDLLOVERRIDES="$WINEDLLOVERRIDES;newdev=n,b")

# shellcheck source=tool_robot.sh
source "$(dirname "$0")/tool_robot.sh"
loader_count() { e2e_ctl loader-transcript 3 | grep -c '^#'; }
state_of_3() { e2e_ctl state | grep '^lpt3 '; }

e2e_ctl attach 3 version=1.04 >/dev/null

# --- session 1: refusals, the question, the other model, a failed write and a retry ------------
e2e_wine_bg tool_1 "$APP/Brg40mFup.exe"
robot refusals "wait-main 60" "expect-text 1005 1.04" \
    "click 1004" "open-file 20 $(img damaged)" "click 1000" "wait-msgbox 30" "expect-msgbox 115 106" "answer 1" \
    "click 1004" "open-file 20 $(img other106)" "click 1000" "wait-msgbox 30" "expect-msgbox 113 104" "answer 1" \
    "click 1004" "open-file 20 $(img same104)" "click 1000" "wait-msgbox 30" "expect-msgbox 114 105 1 4" "answer 7" \
    "expect-no-msgbox 300"
e2e_expect_eq "nothing reached the loader before a file passed its checks and the question" "$(loader_count)" 0

robot other_model "accel" "expect-visible 1007 1" "click 1007" "sleep 200" "expect-checked 1007 1" \
    "click 1004" "open-file 20 $(img other106)" "expect-text 1006 1.06" \
    "click 1000" "watch-bar 180" "expect-msgbox 119 110" "answer 1"
e2e_expect_eq "the other model's image went in once the box was ticked (1 + 352 + 1408 requests)" "$(loader_count)" 1761

# A wrong answer to a write after the erase phase of the next run.
before=$(loader_count)
e2e_ctl loader-fault 3 $((before + 1 + 352 + 100)) wrongecho >/dev/null
robot write_fault "click 1000" "watch-bar 180" "expect-msgbox 117 108" "answer 1" \
    "click 1000" "watch-bar 180" "expect-msgbox 119 110" "answer 1" \
    "click 2" "watch-bar 180" "expect-no-msgbox 500" "wait-gone 30"
e2e_wine_wait tool_1 30
e2e_check "session 1 ended" test $? -eq 0
e2e_expect_grep "after the retry the converter runs the new firmware" <(state_of_3) '^lpt3 mode=normal version=1\.06 intact=1'
e2e_expect_grep "the preserved block survived the failed write" <(e2e_ctl flash 3) 'kept=1'

# --- session 2: a failed erase; Exit finds the flash wrong and leaves update mode alone ----------
e2e_wine_bg tool_2 "$APP/Brg40mFup.exe"
robot erase_prepare "wait-main 60" "expect-text 1005 1.06" "click 1004" "open-file 20 $(img new105)"
before=$(loader_count)
e2e_ctl loader-fault 3 $((before + 1 + 10)) wrongecho >/dev/null
robot erase_fault "click 1000" "wait-msgbox 30" "expect-msgbox 114 105 1 5" "answer 6" \
    "watch-bar 120" "expect-msgbox 116 107" "answer 1" \
    "click 2" "watch-bar 120" "expect-msgbox 121 120" "answer 1" "wait-gone 30"
e2e_wine_wait tool_2 30
e2e_check "session 2 ended" test $? -eq 0
e2e_expect_grep "the converter stays in update mode" <(state_of_3) '^lpt3 mode=update '
e2e_expect_eq "no close byte in session 2 (the one of session 1 only)" "$(e2e_ctl loader-transcript 3 | grep -c ' FF$')" 1

# --- session 3: a write fails after the last erase took the preserved block; Exit ----------------
e2e_wine_bg tool_3 "$APP/Brg40mFup.exe"
robot interrupted_prepare "wait-msgbox 60" "expect-msgbox 111 102" "answer 1" "wait-main 20" \
    "click 1004" "open-file 20 $(img new105)"
before=$(loader_count)
e2e_ctl loader-fault 3 $((before + 1 + 352 + 1300)) noreply >/dev/null
robot interrupted "click 1000" "wait-msgbox 30" "expect-msgbox 114 105 1 5" "answer 6" \
    "watch-bar 180" "expect-msgbox 117 108" "answer 1" \
    "click 2" "watch-bar 120" "expect-msgbox 121 120" "answer 1" "wait-gone 30"
e2e_wine_wait tool_3 30
e2e_check "session 3 ended" test $? -eq 0
e2e_expect_grep "the interrupted write left the preserved block erased" <(e2e_ctl flash 3) 'kept=0'
STORE=$E2E_PREFIX/drive_c/ProgramData/Brg40mFup
e2e_check "the block read before the erase is kept in the program-data folder" \
    test -s "$STORE/preserved-usb#vid_1f3a&pid_0c21#sim0003.bin"

# --- session 4: the next start finds no version; a new update succeeds -------------------------
e2e_wine_bg tool_4 "$APP/Brg40mFup.exe"
robot recovery "wait-msgbox 60" "expect-msgbox 111 102" "answer 1" "wait-main 20" "expect-text 1005 FF.FF" \
    "click 1004" "open-file 20 $(img new105)" "click 1000" "wait-msgbox 30" "expect-msgbox 114 105 1 5" "answer 6" \
    "ping-start 250" "watch-bar 180" "expect-msgbox 119 110" "ping-stop 20" "answer 1" \
    "click 2" "ping-start 250" "watch-bar 180" "expect-no-msgbox 500" "wait-gone 30" "ping-stop 20"
e2e_wine_wait tool_4 30
e2e_check "session 4 ended" test $? -eq 0
e2e_expect_grep "the converter is back in normal mode with 1.05" <(state_of_3) '^lpt3 mode=normal version=1\.05 intact=1'
e2e_expect_grep "the preserved block is still the device's own" <(e2e_ctl flash 3) 'kept=1'
e2e_check "the kept copy went when the session closed" test ! -e "$STORE/preserved-usb#vid_1f3a&pid_0c21#sim0003.bin"
e2e_check "the newdev.dll beside the tool was never loaded" test ! -e "$APP/newdev.dll.loaded"
e2e_end
