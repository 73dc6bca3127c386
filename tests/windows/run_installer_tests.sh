#!/bin/bash
# Builds the Windows installer and runs it under Wine as a user would, with
# its silent switch: checks the installed files, the Start menu and Send To
# shortcuts and every registry value it promises (read with `wine reg
# query`), runs the registered open and compress commands on files with
# spaces in their names, uninstalls, and checks that the prefix is left as
# it was.  Also reads back q73.exe's version information.
#
#   tests/windows/run_installer_tests.sh [BUILD_DIR [LINUX_Q73]]
#
# BUILD_DIR (default build/windows-tests) holds the cross build in
# BUILD_DIR/win (shared with run_windows_tests.sh) and this script's own
# files, Wine prefix included, in BUILD_DIR/installer.  LINUX_Q73 is the
# command-line program whose version and output the Windows one must match;
# built into BUILD_DIR when not given.
set -u

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(mkdir -p "${1:-$ROOT/build/windows-tests}" && cd "${1:-$ROOT/build/windows-tests}" && pwd)
LINUX_Q73=${2:-}
OWN=$BUILD/installer
START=$(date +%s)

. "$ROOT/tests/support/checks.sh"

. "$ROOT/tests/windows/wine_session.sh"
trap end_session EXIT

# --- tools and builds ----------------------------------------------------------
need_packages g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 xvfb nsis
mkdir -p "$OWN"
echo "building q73.exe, the installer and the driver in $BUILD"
cmake -S "$ROOT" -B "$BUILD/win" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
    >"$OWN/configure.log" 2>&1 || die "configuring the Windows build (see $OWN/configure.log)"
cmake --build "$BUILD/win" -j2 --target installer >"$OWN/build.log" 2>&1 ||
    die "building the installer (see $OWN/build.log)"
EXE=$BUILD/win/app/q73.exe
DRIVER=$OWN/driver.exe
build_driver "$OWN"
linux_q73 "$BUILD" "$OWN/linux-build.log"
VERSION=$("$LINUX_Q73" --version | awk '{ print $2 }')
SETUP=$BUILD/win/installer/q73-$VERSION-setup.exe
[ -f "$SETUP" ] || die "no installer $SETUP"
PUBLISHER=$(sed -n 's/^#define Q73_PUBLISHER "\(.*\)"$/\1/p' "$ROOT/app/version.h")

# Version numbers as four dot-separated numbers: 1.0 and 1.0.0.0 compare equal.
version_quad() { local IFS=.; set -- $1 0 0 0 0; echo "$(($1)).$(($2)).$(($3)).$(($4))"; }

case_name="q73.exe's version information reads back as q73 --version ($VERSION)"
rc=$(x86_64-w64-mingw32-windres -i "$EXE" -O rc 2>/dev/null | tr -d '\r')
fixed=$(echo "$rc" | sed -n 's/^ *FILEVERSION \([0-9]*\), \([0-9]*\), \([0-9]*\), \([0-9]*\)$/\1.\2.\3.\4/p')
product=$(echo "$rc" | sed -n 's/^ *PRODUCTVERSION \([0-9]*\), \([0-9]*\), \([0-9]*\), \([0-9]*\)$/\1.\2.\3.\4/p')
value() { echo "$rc" | sed -n "s/^ *VALUE \"$1\", \"\(.*\)\"$/\1/p"; }
echo "  FILEVERSION $fixed, PRODUCTVERSION $product, FileVersion \"$(value FileVersion)\"," \
     "ProductVersion \"$(value ProductVersion)\", ProductName \"$(value ProductName)\"," \
     "OriginalFilename \"$(value OriginalFilename)\""
expected=$(version_quad "$VERSION")
version_information_ok() {
    [ -n "$VERSION" ] && [ "$fixed" = "$expected" ] && [ "$product" = "$expected" ] &&
        [ "$(value FileVersion)" = "$VERSION" ] && [ "$(value ProductVersion)" = "$VERSION" ] &&
        [ "$(value ProductName)" = Q73 ] && [ "$(value OriginalFilename)" = q73.exe ] &&
        [ -n "$(value FileDescription)" ] && [ -n "$(value LegalCopyright)" ]
}
check "$case_name" version_information_ok

# --- display and Wine prefix ---------------------------------------------------
start_display "$OWN"
use_prefix "$OWN/prefix"
# A fresh prefix now and then fails its first program; ask again before
# giving up, and show what Wine said.
wine_variable() {
    local value try
    for try in 1 2 3; do
        value=$(wine cmd /c echo "%$1%" 2>>"$OWN/wine-variables.log" | tr -d '\r')
        [ -n "$value" ] && [ "$value" != "%$1%" ] && { echo "$value"; return 0; }
        wineserver -w; sleep 1
    done
    echo "Wine's messages for %$1%:" >&2; tail -n 20 "$OWN/wine-variables.log" >&2
    return 1
}
: >"$OWN/wine-variables.log"
LOCALAPPDATA=$(wine_variable LOCALAPPDATA)
APPDATA=$(wine_variable APPDATA)
INSTDIR="$LOCALAPPDATA\\Programs\\Q73"
INSTDIR_UNIX=$(winepath -u "$INSTDIR" 2>/dev/null)
SENDTO_LNK=$(winepath -u "$APPDATA\\Microsoft\\Windows\\SendTo\\Q73.lnk" 2>/dev/null)
START_LNK=$(winepath -u "$APPDATA\\Microsoft\\Windows\\Start Menu\\Programs\\Q73.lnk" 2>/dev/null)
[ -n "$LOCALAPPDATA" ] && [ -n "$INSTDIR_UNIX" ] || die "Wine did not say where the user's folders are"
echo "prefix ready after $(( $(date +%s) - START )) s; installing into $INSTDIR"

C='HKEY_CURRENT_USER\Software\Classes'
UNINSTALL='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\Q73'
# The values under a key and its subkeys, from `wine reg query KEY /s`: a
# line "KEY" for each key and "KEY|NAME|TYPE|DATA" for each value.
reg_lines() {
    wine reg query "$1" /s 2>/dev/null | tr -d '\r' | awk '
        /^HKEY_/ { key = $0; print key; next }
        /^    / {
            line = substr($0, 5); n = index(line, "    ")
            rest = substr(line, n + 4); m = index(rest, "    ")
            print key "|" substr(line, 1, n - 1) "|" substr(rest, 1, m - 1) "|" substr(rest, m + 4)
        }'
}
reg_data() { reg_lines "$1" | awk -F'|' -v key="$1" -v name="$2" '$1 == key && $2 == name { print $4 }'; }
# What an install may change: the files of the users, the shared programs and
# the public Start menu, and the registry keys an install writes to.
snapshot() {
    (cd "$WINEPREFIX/drive_c" && find users ProgramData "Program Files" -printf '%p %s\n' | grep -v '^users/[^/]*/Temp/' | sort)
    for key in "$C" 'HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall' \
               'HKEY_LOCAL_MACHINE\Software\Classes\.q73' 'HKEY_LOCAL_MACHINE\Software\Classes\Q73.File' \
               'HKEY_LOCAL_MACHINE\Software\Classes\*' \
               'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall'; do
        echo "[$key]"; reg_lines "$key"
    done
}
# Runs an installer or uninstaller silently and waits for every program it
# started (the uninstaller runs on from a copy of itself).  $1: what it is.
run_silently() {
    local what=$1 code; shift
    timeout 60 wine "$@" /S >"$OWN/$what.log" 2>&1; code=$?
    wineserver -w
    echo "  $what: exit code $code"
    return $code
}
# The uninstaller as the entry in Add/Remove Programs names it.
uninstall() {
    local command
    command=$(reg_data "${1:-$UNINSTALL}" UninstallString)
    [[ $command =~ ^\"([^\"]+)\"(.*)$ ]] || { echo "  no UninstallString ($command)"; return 1; }
    # shellcheck disable=SC2086
    run_silently uninstall "${BASH_REMATCH[1]}" ${BASH_REMATCH[2]}
}
# Runs COMMAND... (which starts q73.exe on one file) in the background while
# the driver, in FOLDER, checks and closes the result dialog: "drive_job
# FOLDER DRIVER_ARGS... -- COMMAND...".  True when both ended with 0.
drive_job() {
    local folder=$1 args=() status code pid; shift
    while [ "$1" != -- ]; do args+=("$1"); shift; done; shift
    timeout 60 "$@" >/dev/null 2>&1 &
    pid=$!
    (cd "$folder" && timeout 60 wine "$DRIVER" "${args[@]}" 2>&1 | tr -d '\r' | sed 's/^/  /'; exit "${PIPESTATUS[0]}")
    status=$?
    [ "$status" -eq 0 ] || wineserver -k
    wait "$pid"; code=$?
    echo "  q73.exe exit code $code"
    [ "$status" -eq 0 ] && [ "$code" -eq 0 ]
}
# Runs the command registered under KEY (its default value) on the file
# FILE_WIN as the shell does, "%1" replaced by the file's full path, and
# drives the job: "run_verb KEY FILE_WIN FOLDER DRIVER_ARGS...".  Fails
# unless the command reads "EXE" "%1".
run_verb() {
    local key=$1 file=$2 folder=$3 command; shift 3
    command=$(reg_data "$key" '(Default)')
    echo "  $key: $command"
    [[ $command =~ ^\"([^\"]+)\"\ \"%1\"$ ]] || return 1
    drive_job "$folder" "$@" -- wine "${BASH_REMATCH[1]}" "$file"
}

WORK=$OWN/work
rm -rf "$WORK"; mkdir -p "$WORK/my files" "$WORK/linux"
snapshot >"$OWN/before.txt"
if grep -qi q73 "$OWN/before.txt"; then
    # An earlier run that failed left some of Q73 behind.
    echo "the prefix holds Q73 already: making it again"
    wineserver -k; rm -f "$WINEPREFIX/.q73-ready"
    use_prefix "$WINEPREFIX"
    snapshot >"$OWN/before.txt"
fi

# --- install for the current user -----------------------------------------------
check "the installer runs silently for the current user and ends with exit code 0" \
    run_silently install "$SETUP"

case_name="q73.exe (the one built), its readme and the uninstaller are in the user's programs folder"
ls -l "$INSTDIR_UNIX" | sed 's/^/  /'
check "$case_name" eval '[ -s "$INSTDIR_UNIX/README.txt" ] && [ -s "$INSTDIR_UNIX/uninstall.exe" ] &&
    [ "$(ls "$INSTDIR_UNIX" | tr "\n" " ")" = "README.txt q73.exe uninstall.exe " ] &&
    cmp "$EXE" "$INSTDIR_UNIX/q73.exe"'

case_name="the Start menu and Send To shortcuts named Q73 start the installed q73.exe"
ok=1
for link in "$START_LNK" "$SENDTO_LNK"; do
    # (each string of a shortcut is stored after its length)
    target=$(strings -el "$link" 2>/dev/null | grep -iF "$INSTDIR\\q73.exe")
    echo "  $link -> ${target:-nothing}"
    [ -n "$target" ] || ok=0
done
check "$case_name" test "$ok" = 1

case_name="the registry holds the .Q73 file type, the compress verb and the Add/Remove Programs entry"
reg_lines "$C" >"$OWN/classes.txt"
reg_lines "$UNINSTALL" >"$OWN/uninstall-entry.txt"
sed 's/^/  /' "$OWN/classes.txt" "$OWN/uninstall-entry.txt" | grep -i 'q73'
ok=1
while IFS= read -r line; do
    grep -qxF "$line" "$OWN/classes.txt" "$OWN/uninstall-entry.txt" || { echo "  missing: $line"; ok=0; }
done <<EOF
$C\\.q73|(Default)|REG_SZ|Q73.File
$C\\.q73\\OpenWithProgids|Q73.File|REG_NONE|
$C\\Q73.File|(Default)|REG_SZ|Q73 compressed file
$C\\Q73.File\\DefaultIcon|(Default)|REG_SZ|"$INSTDIR\\q73.exe",-105
$C\\Q73.File\\shell\\open\\command|(Default)|REG_SZ|"$INSTDIR\\q73.exe" "%1"
$C\\*\\shell\\Q73.Compress|(Default)|REG_SZ|Compress with Q73
$C\\*\\shell\\Q73.Compress|MultiSelectModel|REG_SZ|Player
$C\\*\\shell\\Q73.Compress\\command|(Default)|REG_SZ|"$INSTDIR\\q73.exe" "%1"
$UNINSTALL|DisplayName|REG_SZ|Q73
$UNINSTALL|Publisher|REG_SZ|$PUBLISHER
$UNINSTALL|DisplayIcon|REG_SZ|"$INSTDIR\\q73.exe",0
$UNINSTALL|UninstallString|REG_SZ|"$INSTDIR\\uninstall.exe"
EOF
# The .Q73 files' icon: "q73.exe",-ID names the icon of resource id ID.
icon=$(reg_data "$C\\Q73.File\\DefaultIcon" '(Default)')
x86_64-w64-mingw32-windres -i "$INSTDIR_UNIX/q73.exe" -O rc 2>/dev/null |
    grep -q "^${icon##*,-} 14 /\* RT_GROUP_ICON \*/" || { echo "  q73.exe has no icon ${icon##*,}"; ok=0; }
shown=$(reg_data "$UNINSTALL" DisplayVersion)
[ -n "$shown" ] && [ "$(version_quad "$shown")" = "$(version_quad "$VERSION")" ] ||
    { echo "  DisplayVersion \"$shown\", q73 --version says $VERSION"; ok=0; }
# The size in KB of what was installed, as Add/Remove Programs shows it.
size=$(reg_data "$UNINSTALL" EstimatedSize)
kb=$(( $(du -cb "$INSTDIR_UNIX"/* | tail -1 | cut -f1) / 1024 ))
echo "  EstimatedSize $size ($((size)) KB), the files take $kb KB"
[ -n "$size" ] && [ $((size - kb)) -ge -2 ] && [ $((size - kb)) -le 2 ] || ok=0
check "$case_name" test "$ok" = 1

case_name="the registered open command (a double-click) expands a .Q73 whose name has spaces exactly"
# Any file will do: the Linux program itself is at hand.
cp "$LINUX_Q73" "$WORK/my files/annual report 2026.pdf"
(cd "$WORK/my files" && "$LINUX_Q73" -q "annual report 2026.pdf") && rm "$WORK/my files/annual report 2026.pdf"
check "$case_name" eval 'run_verb "$C\\Q73.File\\shell\\open\\command" \
    "$(winepath -w "$WORK/my files/annual report 2026.Q73")" "$WORK/my files" expansion &&
    cmp "$WORK/my files/annual report 2026.pdf" "$LINUX_Q73"'

case_name="the registered Compress with Q73 command compresses a file whose name has spaces as the Linux program does"
cp "$ROOT/README.md" "$WORK/my files/notes for the team.txt"
cp "$ROOT/README.md" "$WORK/linux/notes for the team.txt"
(cd "$WORK/linux" && "$LINUX_Q73" -q "notes for the team.txt")
check "$case_name" eval 'run_verb "$C\\*\\shell\\Q73.Compress\\command" \
    "$(winepath -w "$WORK/my files/notes for the team.txt")" "$WORK/my files" \
    compression "notes for the team.txt" "notes for the team.Q73" &&
    cmp "$WORK/my files/notes for the team.Q73" "$WORK/linux/notes for the team.Q73"'

# --- uninstall ------------------------------------------------------------------
check "the uninstaller named in Add/Remove Programs runs silently and ends with exit code 0" uninstall

case_name="after the uninstall no file, shortcut, key or value that the install added is left"
snapshot >"$OWN/after.txt"
check "$case_name" diff "$OWN/before.txt" "$OWN/after.txt"

case_name="an uninstall leaves .q73 to another program that has taken it since, and takes only its own values"
ok=1
run_silently install "$SETUP" || ok=0
wine reg add "$C\\.q73" /ve /d Other.Archive /f >/dev/null 2>&1
uninstall || ok=0
left=$(reg_lines "$C\\.q73" | tr '\n' ' ')
echo "  left: $left"
[ "$left" = "$C\\.q73 $C\\.q73|(Default)|REG_SZ|Other.Archive " ] || ok=0
wine reg delete "$C\\.q73" /f >/dev/null 2>&1
snapshot >"$OWN/after-other.txt"
diff "$OWN/before.txt" "$OWN/after-other.txt" || ok=0
check "$case_name" test "$ok" = 1

# --- install for every user of the machine --------------------------------------
case_name="installed for every user (/ALLUSERS) into Program Files and HKEY_LOCAL_MACHINE, Wine's own double-click (start) expands a .Q73 file, and the uninstall leaves nothing"
MACHINE_DIR="$(wine cmd /c echo %ProgramFiles% 2>/dev/null | tr -d '\r')\\Q73"
MACHINE_LNK=$(winepath -u "$(wine cmd /c echo %ProgramData% 2>/dev/null | tr -d '\r')\\Microsoft\\Windows\\Start Menu\\Programs\\Q73.lnk")
HKLM_UNINSTALL='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Q73'
ok=1
run_silently install-machine "$SETUP" /ALLUSERS || ok=0
cmp "$EXE" "$(winepath -u "$MACHINE_DIR\\q73.exe")" || ok=0
[ -s "$MACHINE_LNK" ] && [ -s "$SENDTO_LNK" ] || { echo "  no shortcut in $MACHINE_LNK or $SENDTO_LNK"; ok=0; }
for line in "HKEY_LOCAL_MACHINE\\Software\\Classes\\.q73|(Default)|Q73.File" \
            "HKEY_LOCAL_MACHINE\\Software\\Classes\\Q73.File\\shell\\open\\command|(Default)|\"$MACHINE_DIR\\q73.exe\" \"%1\"" \
            "HKEY_LOCAL_MACHINE\\Software\\Classes\\*\\shell\\Q73.Compress\\command|(Default)|\"$MACHINE_DIR\\q73.exe\" \"%1\"" \
            "$HKLM_UNINSTALL|UninstallString|\"$MACHINE_DIR\\uninstall.exe\" /ALLUSERS"; do
    shown=$(reg_data "${line%%|*}" "$(echo "$line" | cut -d'|' -f2)")
    echo "  ${line%%|*}: $shown"
    [ "$shown" = "${line#*|*|}" ] || ok=0
done
[ -z "$(reg_lines "$C" | grep -i q73)" ] || { echo "  the install for every user wrote per-user classes"; ok=0; }
mkdir -p "$WORK/machine"
cp "$ROOT/README.md" "$WORK/machine/photo album.txt"
(cd "$WORK/machine" && "$LINUX_Q73" -q "photo album.txt") && rm "$WORK/machine/photo album.txt"
drive_job "$WORK/machine" expansion -- wine start /wait "$(winepath -w "$WORK/machine/photo album.Q73")" || ok=0
cmp "$WORK/machine/photo album.txt" "$ROOT/README.md" || ok=0
uninstall "$HKLM_UNINSTALL" || ok=0
snapshot >"$OWN/after-machine.txt"
diff "$OWN/before.txt" "$OWN/after-machine.txt" || ok=0
check "$case_name" test "$ok" = 1

echo "$passed passed, $failed failed, $(( $(date +%s) - START )) s"
[ "$failed" -eq 0 ]
