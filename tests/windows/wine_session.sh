# Helpers for a test script that runs Windows programs under Wine in a
# private Xvfb.  Source it; the script defines die MESSAGE (ends the run).
#
#   need_packages PACKAGE...  installs the missing ones (apt-get), or dies
#   start_display DIR         an Xvfb on a free display; exports DISPLAY
#   use_prefix DIR            exports WINEPREFIX=DIR and the Wine settings,
#                             making the prefix the first time (about 12 s)
#   end_session               ends the prefix's programs and the Xvfb
#                             (the script's EXIT trap calls it)
#   build_driver DIR          DIR/driver.exe, the test driver, unless newer
#                             than its sources
#   linux_q73 BUILD LOG       sets LINUX_Q73, building it in BUILD/linux
#                             when the caller gave none

need_packages() {
    local missing="" package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
            missing="$missing $package"
    done
    [ -z "$missing" ] && return 0
    echo "installing:$missing"
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
        apt-get install -y -qq --no-install-recommends $missing >/dev/null ||
        die "could not install:$missing"
}

SESSION_XVFB_PID=""
start_display() {
    rm -f "$1/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -br 3>"$1/display" 2>/dev/null &
    SESSION_XVFB_PID=$!
    for _ in $(seq 100); do [ -s "$1/display" ] && break; sleep 0.1; done
    [ -s "$1/display" ] || die "Xvfb did not start"
    export DISPLAY=:$(cat "$1/display")
}

use_prefix() {
    # winemenubuilder would turn every shortcut into a desktop entry in $HOME.
    export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    # Names in any script come across with a UTF-8 locale.
    export LANG=C.UTF-8 LC_ALL=C.UTF-8
    [ -f "$WINEPREFIX/.q73-ready" ] && return 0
    echo "making the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    wineboot -i >"$WINEPREFIX.log" 2>&1; wineserver -w
    # Without a window manager, Wine draws the captions itself only when its
    # windows are neither decorated nor managed (and hides them at once).
    local reg=$WINEPREFIX/drive_c/x11.reg
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Decorated"="N"\n"Managed"="N"\n' >"$reg"
    wine regedit /S 'C:\x11.reg' >/dev/null 2>&1; wineserver -w
    rm -f "$reg"
    [ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/user.reg" ] ||
        die "the Wine prefix was not made (see $WINEPREFIX.log)"
    touch "$WINEPREFIX/.q73-ready"
}

end_session() {
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null
    [ -n "$SESSION_XVFB_PID" ] && kill "$SESSION_XVFB_PID" 2>/dev/null
    SESSION_XVFB_PID=""
}

build_driver() {
    local driver=$1/driver.exe here=$ROOT/tests/windows
    [ "$driver" -nt "$here/driver.cpp" ] && [ "$driver" -nt "$here/driver.rc" ] && return 0
    x86_64-w64-mingw32-windres -I"$ROOT" "$here/driver.rc" -O coff -o "$1/driver-res.o" &&
        x86_64-w64-mingw32-g++-posix -std=c++17 -O1 -Wall -Wextra -Werror -static -I"$ROOT" \
            "$here/driver.cpp" "$1/driver-res.o" -lgdi32 -o "$driver" ||
        die "building the driver"
}

linux_q73() {
    if [ -z "${LINUX_Q73:-}" ]; then
        cmake -S "$ROOT" -B "$1/linux" -DQ73_BUILD_TESTS=OFF >"$2" 2>&1 &&
            cmake --build "$1/linux" -j2 --target q73 >>"$2" 2>&1 ||
            die "building the Linux q73 (see $2)"
        LINUX_Q73=$1/linux/app/q73
    fi
    [ -x "$LINUX_Q73" ] || die "no Linux q73 at $LINUX_Q73"
}
