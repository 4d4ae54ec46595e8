#!/usr/bin/env bash
# The harness's GUI set-up as a Win64 program sees it, in English and in Japanese: code page
# and UI language, Wine's virtual desktop of 1024x768 on a larger X screen, the title-bar font,
# and the Japanese font replacements.
#   suite_desktop.sh DESKTOP_PROBE_EXE
set -uo pipefail
probe_exe=$1
# shellcheck source=harness.sh
source "$(dirname "$0")/harness.sh"

e2e_begin wine_desktop
e2e_xvfb
e2e_check "the X screen is larger than the virtual desktop" \
    bash -c "xdpyinfo -display '$DISPLAY' | grep -q 'dimensions: *1280x1024'"

e2e_prefix
e2e_wine english "$probe_exe"
O=$E2E_WORK/english.out
e2e_expect_grep "English: code page 1252" "$O" '^acp=1252$'
e2e_expect_grep "English: UI language 0x0409" "$O" '^ui_language=0x0409$'
e2e_expect_grep "English: the virtual desktop is 1024x768" "$O" '^screen=1024x768$'
e2e_expect_grep "Marlett is installed for the title-bar buttons" "$O" '^marlett=1$'
e2e_expect_grep "Tahoma is installed" "$O" '^tahoma=1$'

e2e_prefix --japanese
e2e_wine japanese "$probe_exe"
O=$E2E_WORK/japanese.out
e2e_expect_grep "Japanese: code page 932" "$O" '^acp=932$'
e2e_expect_grep "Japanese: UI language 0x0411" "$O" '^ui_language=0x0411$'
e2e_expect_grep "Japanese: the virtual desktop is 1024x768" "$O" '^screen=1024x768$'
e2e_expect_grep "the IPA P Gothic font is installed" "$O" '^ipa_pgothic=1$'
e2e_expect_grep "MS UI Gothic is replaced by a Japanese font" "$O" '^ms_ui_gothic_charset=128$'
e2e_expect_grep "ＭＳ Ｐゴシック is replaced by a Japanese font" "$O" '^ms_pgothic_charset=128$'
e2e_end
