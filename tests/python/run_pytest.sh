#!/usr/bin/env bash
# Runs the Python package's pytest suite against the simulated converter: a simulator process,
# and pytest (Debian's /usr/bin/python3) inside the umockdev testbed that mirrors it, loading
# the given library.
#   run_pytest.sh SIM_BIN_DIR WORK_ROOT LIBRARY ASAN_RUNTIME|"" PYTEST_ARGS...
# ASAN_RUNTIME: the sanitizer runtime of a library built with ASan, preloaded into Python (an
# ASan library cannot be loaded into a program that lacks it); leaks are not reported, as the
# interpreter keeps its memory to the end.
set -uo pipefail
sim_bin=$1
work_root=$2
library=$3
asan_runtime=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../support/linux_session.sh
source "$here/../support/linux_session.sh"

linux_begin python_converter "$work_root" "$sim_bin"
linux_sim_start
export BRG40_LIBRARY=$library
export BRG40_SIM_CTL=$E2E_CTL_BIN
export PYTHONPATH=$here/../../python
export PYTHONDONTWRITEBYTECODE=1 PYTHONNOUSERSITE=1  # nothing from ~/.local
if [[ -n $asan_runtime ]]; then
    export LD_PRELOAD=$asan_runtime${LD_PRELOAD:+:$LD_PRELOAD}
    export ASAN_OPTIONS=detect_leaks=0:verify_asan_link_order=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}
fi
"$LINUX_BRIDGE_BIN" /usr/bin/python3 -m pytest -p no:cacheprovider "$@"
