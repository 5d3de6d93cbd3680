#!/usr/bin/env bash
# Runs the tool against a simulated Q48 on this machine's loopback only: nothing is broadcast
# and no serial port of the machine is opened. With a display it opens the window (close it to
# end the demo); without one, or with --headless, it runs a few q48ctl commands instead.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build}
mode=gui
[[ ${1:-} == --headless || -z ${DISPLAY:-}${WAYLAND_DISPLAY:-} ]] && mode=headless

# A fresh machine gets the packages first (only the missing ones are installed).
./scripts/setup.sh

targets=(q48-sim)
[[ $mode == gui ]] && targets+=(q48tool) || targets+=(q48ctl)
[[ -f $BUILD_DIR/build.ninja ]] || cmake -S . -B "$BUILD_DIR" -G Ninja
cmake --build "$BUILD_DIR" --target "${targets[@]}" -j2

work=$(mktemp -d)
sim_pid=
cleanup() {
    if [[ -n $sim_pid ]] && kill -0 "$sim_pid" 2>/dev/null; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# A lib folder of our own: the version file and four small firmware images.
mkdir -p "$work/lib" "$work/out"
cat >"$work/lib/Ver.ini" <<'INI'
[ver]
MCU_VER=MCU_Firmware_1_V4.5
KEY_VER=MCU_Firmware_2_V2.8
DSP1_VER=DSP_Firmware_1_V4.0
DSP2_VER=DSP_Firmware_2_V4.0
[App-config]
Ver=V1.0.1
Name=DigitalMixer Firmware UpdateTool
Url=https://www.tavrine.example
CompName=Tavrine Technical Group Ltd.
Utype=0
Delay=28
INI
for image in MB0126001505:40962 KB0122001505:20482 DA0120001505:30722 DB0120001505:30722; do
    head -c "${image#*:}" /dev/urandom >"$work/lib/${image%%:*}"
done

# The simulator on free loopback ports, serving the serial link on a pseudo-terminal too.
"$BUILD_DIR/bin/q48-sim" --bind 127.0.0.1 --tcp-port 0 --udp-port 0 --reboot-seconds 3 \
    --serial-pty "$work/q48-pty" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do
    grep -qx ready "$work/sim.out" 2>/dev/null && break
    kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.err" >&2; exit 1; }
    sleep 0.1
done
grep -qx ready "$work/sim.out" || { echo "q48-sim did not start" >&2; exit 1; }
tcp_port=$(sed -n 's/^tcp .*:\([0-9]*\)$/\1/p' "$work/sim.out")
udp_port=$(sed -n 's/^udp \([0-9]*\)$/\1/p' "$work/sim.out")
endpoints=(--search-address 127.0.0.1 --search-port "$udp_port" --udp-port 0 --tcp-port "$tcp_port"
    --serial-ports "$work/q48-pty")
echo "q48-sim: tcp 127.0.0.1:$tcp_port, udp $udp_port, serial $work/q48-pty"

if [[ $mode == gui ]]; then
    echo "Opening q48tool; close its window to end the demo."
    "$BUILD_DIR/bin/q48tool" "${endpoints[@]}" --lib "$work/lib" --output-dir "$work/out" "$@" || true
else
    # A whole service pass from the command line; --yes answers the save questions.
    ctl=("$BUILD_DIR/bin/q48ctl" "${endpoints[@]}" --lib "$work/lib" --timeout 15)
    step() { echo "+ q48ctl ${*}"; "${ctl[@]}" "$@"; }
    step discover
    step presets list --kind scene
    step presets read --kind dsp --slot 1 -o "$work/out/ch01" --yes
    step memory export -o "$work/out/all.ept" --yes
    # The simulator restarts in 3 s; a real mixer takes the Delay of Ver.ini.
    step firmware program --reboot-delay 3
    ls -l "$work/out"
fi
