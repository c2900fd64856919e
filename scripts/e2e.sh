#!/usr/bin/env bash
# End-to-end checks of Tidewell.exe and TidewellDemo.exe: the real program in
# Wine's virtual desktop on a private Xvfb, driven from outside by
# e2e/tw_driver.exe. The demo's simulated machine has phantoms to remove.
#
# Usage: scripts/e2e.sh [BUILD_DIR]
#   BUILD_DIR   the cross build (default build-win, or $TIDEWELL_BUILD)
# Environment:
#   TIDEWELL_WINEPREFIX  the Wine prefix (default BUILD_DIR/e2e-wineprefix;
#                        made on first use, reused after)
#   TIDEWELL_SHOTS       where screenshots go (default docs/)
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-${TIDEWELL_BUILD:-build-win}}
[[ $build = /* ]] || build=$root/$build
exe=$build/src/Tidewell.exe
demo=$build/src/TidewellDemo.exe
driver=$build/e2e/tw_driver.exe
shots=${TIDEWELL_SHOTS:-$root/docs}
# The caption carries the file version, which is the project's version.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt" 2>/dev/null)
caption="Tidewell Version ${version:-?}"

export WINEPREFIX=${TIDEWELL_WINEPREFIX:-$build/e2e-wineprefix}
export WINEDEBUG=-all
# No Mono or Gecko installer: its dialog would wait for an answer.
export WINEDLLOVERRIDES="mscoree,mshtml=d"
unset WINEARCH

work=$(mktemp -d)
log=$build/e2e.log
: >"$log" 2>/dev/null || log=$work/e2e.log
passed=0
failed=0
xvfb_pid=
tidewell_pids=()

note() { printf '%s\n' "$*" | tee -a "$log"; }

pass() { passed=$((passed + 1)); note "ok   $1"; }

# fail NAME [DETAIL-FILE]
fail() {
  failed=$((failed + 1))
  note "FAIL $1"
  if [[ -n ${2:-} && -s $2 ]]; then sed 's/^/       /' "$2" | tee -a "$log"; fi
}

# check NAME COMMAND...: one line; the command's output follows a failure.
check() {
  local name=$1 out=$work/out
  shift
  if "$@" >"$out" 2>&1; then pass "$name"; else fail "$name" "$out"; fi
  cat "$out" >>"$log"
}

# checks PREFIX COMMAND...: one line for each check the driver reports
# ("  ok   WHAT" or "  FAIL WHAT: WHY"); a driver that fails without saying
# which check is one failure.
checks() {
  local prefix=$1 out=$work/out line rc reported=0
  shift
  "$@" >"$out" 2>&1
  rc=$?
  while IFS= read -r line; do
    line=${line%$'\r'}
    case $line in
      "  ok   "*) pass "$prefix: ${line#  ok   }"; reported=$((reported + 1)) ;;
      "  FAIL "*) fail "$prefix: ${line#  FAIL }"; reported=$((reported + 1)) ;;
    esac
  done <"$out"
  if [[ $rc -ne 0 && $(grep -c '^  FAIL ' "$out") -eq 0 ]] || [[ $reported -eq 0 ]]; then
    fail "$prefix: $* (exit $rc)" "$out"
  fi
  cat "$out" >>"$log"
}

# The driver, run in the same desktop as the program. A hung driver is a failure.
drv() { timeout 30 wine "$driver" "$@"; }

# num ID: the count a control shows ("" when it shows none).
num() { drv count "$1" 2>>"$log" | tr -d '\r'; }

# between LOW X HIGH: LOW < X < HIGH.
between() {
  [[ $2 =~ ^[0-9]+$ ]] && (($1 < $2 && $2 < $3)) && return
  echo "$2 is not between $1 and $3"
  return 1
}

# A host path as the driver opens it: the prefix maps drive Z: to /.
winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

finish() {
  local pid
  for pid in "${tidewell_pids[@]}"; do kill "$pid" 2>/dev/null; done
  wineserver -k 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT TERM

summary() {
  note "e2e: $passed passed, $failed failed"
  [[ $failed -eq 0 ]]
}

for f in "$exe" "$demo" "$driver" "$build/e2e/tw_probe.dll"; do
  if [[ ! -f $f ]]; then
    fail "built: $f"
    summary
    exit 1
  fi
done

# ---- display, prefix, desktop ----

# -displayfd lets Xvfb pick a free display and say which.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
if [[ ! -s $work/display ]]; then
  fail "Xvfb starts" "$work/xvfb.log"
  summary
  exit 1
fi
DISPLAY=:$(head -n1 "$work/display")
export DISPLAY

if [[ ! -f $WINEPREFIX/.tidewell-e2e ]]; then
  note "making the Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # Every program of the prefix runs in the virtual desktop "tidewell", as
  # `wine explorer /desktop=tidewell,1280x800 PROGRAM` would run it: the
  # desktop draws window frames, and the driver shares it with the program.
  {
    wineboot -i
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d tidewell /f
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v tidewell /d 1280x800 /f
  } >>"$log" 2>&1
  wineserver -w
  touch "$WINEPREFIX/.tidewell-e2e"
fi
# The dialog font "MS Shell Dlg" stands for Tahoma, and caption buttons are
# drawn from Marlett. This Wine does not look in its own font folder (from
# the package fonts-wine), so without these links it draws with a host font
# and letters stand in for the caption buttons.
if [[ -d /usr/share/wine/fonts ]]; then
  ln -sf /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>>"$log"
else
  note "note: /usr/share/wine/fonts missing (package fonts-wine): a host font stands in for Tahoma"
fi
wineserver -p >>"$log" 2>&1  # one server for the whole run, ended by finish

# ---- the program ----

tidewell_pid=
# start_tidewell [EXE]: the product, or the demo.
start_tidewell() {
  wine "${1:-$exe}" >>"$log" 2>&1 &
  tidewell_pid=$!
  tidewell_pids+=("$tidewell_pid")
}

# Tidewell processes of this prefix still running (read from /proc, so the
# script needs no procps).
tidewell_procs() {
  local d arg0
  for d in /proc/[0-9]*; do
    IFS= read -r -d '' arg0 <"$d/cmdline" 2>/dev/null || continue
    [[ $arg0 =~ (^|[\\/])Tidewell(Demo)?\.exe$ ]] || continue
    tr '\0' '\n' <"$d/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "${d#/proc/} $arg0"
  done
}

# exits_within PID SECONDS: prints the time it took.
exits_within() {
  local pid=$1 limit_ms=$(($2 * 1000)) t0 ms
  t0=$(date +%s%N)
  while kill -0 "$pid" 2>/dev/null; do
    ms=$((($(date +%s%N) - t0) / 1000000))
    if ((ms > limit_ms)); then
      echo "process $pid still running after $ms ms"
      return 1
    fi
    sleep 0.1
  done
  wait "$pid" 2>/dev/null
  echo "ended after $((($(date +%s%N) - t0) / 1000000)) ms"
}

no_tidewell_left() {
  local left
  left=$(tidewell_procs)
  [[ -z $left ]] || { echo "still running: $left"; return 1; }
}

# ends NAME: the window goes, then the process, and no copy is left over.
ends() {
  check "$1: the window closes" drv wait-gone 5000
  check "$1: the process ends within 5 s" exits_within "$tidewell_pid" 5
  check "$1: no Tidewell process left" no_tidewell_left
  # Whatever failed above, the next scenario starts from nothing.
  local pid
  for pid in "${tidewell_pids[@]}"; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  tidewell_pids=()
  check "$1: the single-instance mutex is released" drv wait-mutex-gone 5000
}

# started NAME [EXE]
started() {
  start_tidewell "${2:-}"
  check "$1: window \"$caption\" appears" drv wait "$caption" 20000
}

screenshot() {
  local rect
  rect=$(drv rect | tr -d '\r') || return 1
  mkdir -p "$shots"
  import -window root "$work/desktop.png" &&
    convert "$work/desktop.png" -crop "$rect" +repage "$shots/screenshot-main.png" &&
    echo "$rect -> $shots/screenshot-main.png"
}

# to_png BMP NAME: a frame the driver saved, as NAME in the screenshot folder.
to_png() {
  [[ -s $1 ]] || { echo "no frame $1"; return 1; }
  mkdir -p "$shots"
  convert "$1" "$shots/$2" && echo "$1 -> $shots/$2"
}

# a. Start, look at everything, leave with Escape.
started a
check "a: the main window as at start (check-main)" drv check-main
check "a: screenshot of the main window" screenshot
check "a: Escape pressed" drv press-escape
ends a

# b. A second copy ends at once and leaves the first alone; leave with Exit.
started b
second_copy() {
  wine "$exe" >>"$log" 2>&1 &
  local pid=$!
  tidewell_pids+=("$pid")
  exits_within "$pid" 5
}
check "b: a second copy ends at once" second_copy
check "b: exactly one Tidewell window" drv count-windows "$caption" 1
check "b: the first copy still runs" kill -0 "$tidewell_pid"
check "b: Exit clicked" drv click 1
ends b

# c. Leave with the close box.
started c
check "c: close box (SC_CLOSE) posted" drv sysclose
ends c

# ---- the phantom removal, on the demo's simulated machine ----
# Every start builds the same machine; each removal takes about 25 ms.

# d. A selected run that succeeds: the volume snapshots older than a week.
started d "$demo"
snapshots=$(num 1010)
for box in 1007 1008 1009 1011 1013; do check "d: $box unchecked" drv set-check "$box" off; done
check "d: 1001 reads \"$snapshots phantoms to remove.\"" \
  drv expect-text 1001 "$snapshots phantoms to remove."
check "d: 1010 reads \"VOLUME SNAPSHOT = $snapshots\"" \
  drv expect-text 1010 "VOLUME SNAPSHOT = $snapshots"
check "d: \"Last Week\" chosen in 1003" drv select-age "Last Week"
older=$(num 1001)
check "d: 1001 follows the age: between 0 and $snapshots" between 0 "$older" "${snapshots:-0}"
check "d: 1010 reads \"VOLUME SNAPSHOT = $older\"" drv expect-text 1010 "VOLUME SNAPSHOT = $older"
checks d drv remove-run --result "Success!" --failed 0 --shot "$(winpath "$work/removing.bmp")"
check "d: screenshot-removing.png written" to_png "$work/removing.bmp" screenshot-removing.png
# The new census lists the younger snapshots, which "Last Week" leaves out.
check "d: 1001 reads \"0 phantoms to remove.\"" drv expect-text 1001 "0 phantoms to remove."
check "d: 1010 reads \"VOLUME SNAPSHOT = 0\"" drv expect-text 1010 "VOLUME SNAPSHOT = 0"
check "d: frame saved after the run" drv shot "$(winpath "$work/result.bmp")"
check "d: screenshot-result.png written" to_png "$work/result.bmp" screenshot-result.png
check "d: Exit clicked" drv click 1
ends d

# e. A run with failures: the USB devices. The scenario fails the removal of
# every 37th USB phantom (0-based 36, 73, ..., 295 of 300), each with its
# registry key (the blank ones are the first two): 8 failures, which stay
# listed and selected.
usb_failing=8
started e "$demo"
for box in 1007 1008 1011 1013 1010; do check "e: $box unchecked" drv set-check "$box" off; done
check "e: \"Now\" chosen in 1003" drv select-age Now
usb=$(num 1009)
check "e: 1001 reads \"$usb phantoms to remove.\"" drv expect-text 1001 "$usb phantoms to remove."
checks e drv remove-run --result "There were errors! $usb_failing phantoms failed removal." \
  --failed "$usb_failing"
check "e: 1009 reads \"USB = $usb_failing\"" drv expect-text 1009 "USB = $usb_failing"
check "e: 1001 reads \"$usb_failing phantoms to remove.\"" \
  drv expect-text 1001 "$usb_failing phantoms to remove."
check "e: Exit clicked" drv click 1
ends e

# f. Nothing selected: a message box, and no run.
started f "$demo"
status=$(drv text 1006 | tr -d '\r')
for box in 1007 1008 1009 1011 1013 1010; do check "f: $box unchecked" drv set-check "$box" off; done
check "f: 1001 reads \"0 phantoms to remove.\"" drv expect-text 1001 "0 phantoms to remove."
check "f: Remove clicked" drv click 1002
check "f: message box \"Tidewell\": \"No phantoms to remove.\", OK" \
  drv expect-msgbox Tidewell "No phantoms to remove." 5000
check "f: OK pressed" drv msgbox-answer 1
check "f: the message box closes" drv no-msgbox 3000
check "f: 1002 still reads \"Remove\"" drv expect-text 1002 Remove
check "f: 1006 unchanged: \"$status\"" drv expect-text 1006 "$status"
check "f: the job controls still enabled" drv job-controls enabled
check "f: Exit clicked" drv click 1
ends f

# g. Abort: everything selected, stopped about two seconds in.
started g "$demo"
total=$(num 1000)
selected=$(num 1001)
checks g drv remove-run --result "Aborted!" --abort-at $((${selected:-0} - 75))
# The phantoms the census could not date are detected but never to remove;
# under "Now" every other one is.
detected=$(num 1000)
check "g: 1001 reads the detected less the $((total - selected)) undated" \
  drv expect-text 1001 "$((detected - (total - selected))) phantoms to remove."
check "g: Exit clicked" drv click 1
ends g

# h. Closing during a run aborts it; the window goes once the run has ended.
started "h, Escape" "$demo"
selected=$(num 1001)
checks "h, Escape" drv remove-run --escape-at $((${selected:-0} - 40))
ends "h, Escape"
started "h, close box" "$demo"
selected=$(num 1001)
checks "h, close box" drv remove-run --sysclose-at $((${selected:-0} - 40))
ends "h, close box"

# ---- the drive lists and the serial number ----

# i. The product: Wine refuses the media check, so no drive is listed.
started i
checks i drv expect-drives ""
check "i: Find Serial # clicked" drv click 1035
check "i: message box \"Tidewell\": \"The source drive has not been selected.\", OK" \
  drv expect-msgbox Tidewell "The source drive has not been selected." 5000
check "i: OK pressed" drv msgbox-answer 1
check "i: the message box closes" drv no-msgbox 3000
check "i: 1036 still empty" drv expect-text 1036 ""
check "i: Exit clicked" drv click 1
ends i

# j. The demo's drives: USB sticks E, F+G, H (a one-character serial), I (a
# USB 3 stick in a USB 2 port), J (its serial request stalls); the fixed C:
# and the empty card slot K: are left out.
started j "$demo"
checks j drv expect-drives "E=2 FG=3 H=4 I=5 J=6"
# serial INDEX TEXT: the item chosen in 1033, then Find Serial #.
serial() {
  check "j: item $1 selected in 1033" drv select 1033 "$1"
  check "j: Find Serial # clicked" drv click 1035
  check "j: 1036 reads \"$2\"" drv expect-text 1036 "$2" 5000
}
serial 0 4C530001230512109165
serial 2 X
serial 3 AA04012700011872
serial 1 0123ABCD
check "j: frame saved with FG's serial" drv shot "$(winpath "$work/serial.bmp")"
check "j: screenshot-serial.png written" to_png "$work/serial.bmp" screenshot-serial.png
check "j: item 4 (J) selected in 1033" drv select 1033 4
check "j: Find Serial # clicked" drv click 1035
check "j: message box \"Tidewell\": \"There was a problem reading the serial number.\", OK" \
  drv expect-msgbox Tidewell "There was a problem reading the serial number." 5000
check "j: OK pressed" drv msgbox-answer 1
check "j: the message box closes" drv no-msgbox 3000
check "j: 1036 keeps \"0123ABCD\"" drv expect-text 1036 0123ABCD

# The platform's volume broadcasts, sent to the window as Windows sends them.
check "j: posting a volume broadcast is refused" drv volume post E
check "j: removal of F and G sent" drv volume remove FG
checks "j, FG removed" drv expect-drives "E=2 H=4 I=5 J=6"
check "j: arrival of F and G sent" drv volume arrive FG
checks "j, FG back, higher letter first" drv expect-drives "E=2 GF=3 H=4 I=5 J=6"
check "j: a second arrival of E sent" drv volume arrive E
checks "j, E listed once" drv expect-drives "E=2 GF=3 H=4 I=5 J=6"
check "j: arrival of the fixed C and the empty K sent" drv volume arrive CK
checks "j, C listed, K not" drv expect-drives "C=0 E=2 GF=3 H=4 I=5 J=6"
check "j: item 3 selected in 1016" drv select 1016 3
check "j: removal of unlisted Q sent" drv volume remove Q
checks "j, nothing changed, first items selected" drv expect-drives "C=0 E=2 GF=3 H=4 I=5 J=6"
check "j: removal of every drive sent" drv volume remove CEFGHIJ
checks "j, all gone" drv expect-drives ""
check "j: Find Serial # clicked" drv click 1035
check "j: message box \"The source drive has not been selected.\"" \
  drv expect-msgbox Tidewell "The source drive has not been selected." 5000
check "j: OK pressed" drv msgbox-answer 1
check "j: the message box closes" drv no-msgbox 3000
check "j: Exit clicked" drv click 1
ends j

# ---- the speed test, on the demo's sticks ----
# Each stick's root is a folder of the prefix's temporary folder, its rates
# those of its kind; a test takes a few seconds.

# k. A test on each stick: both rates, the legend of its generation, a full
# bar. The USB 3 stick in a USB 2 port warns first; J's port query fails (its
# serial-number request stalls), which counts as no answer.
started k "$demo"
checks "k, E: USB 3 stick" drv speed-run --drive E --shot "$(winpath "$work/speed.bmp")"
check "k: screenshot-speed.png written" to_png "$work/speed.bmp" screenshot-speed.png
checks "k, F: USB 2 stick" drv speed-run --drive F --usb2
checks "k, H: USB 2 stick on a USB 3 port" drv speed-run --drive H --usb2
checks "k, I: USB 3 stick in a USB 2 port" drv speed-run --drive I --warning --usb2
checks "k, J: port query fails" drv speed-run --drive J
checks "k, E: File test" drv speed-run --drive E --file
check "k: frame saved after the tests" drv shot "$(winpath "$work/speed-result.bmp")"
check "k: screenshot-speed-result.png written" to_png "$work/speed-result.bmp" screenshot-speed-result.png
check "k: Exit clicked" drv click 1
ends k
# ---- About, the help dialogs and the update notice ----

# dialog_png CAPTION NAME: the dialog's frame as NAME in the screenshot folder.
dialog_png() {
  drv dialog-shot "$1" "$(winpath "$work/dialog.bmp")" && to_png "$work/dialog.bmp" "$2"
}

# l. About, from the button and from the system menu: the program's name and
# the file version.
started l
for how in "click 1004" "syscommand 16"; do
  check "l: About opened ($how)" drv $how
  check "l: \"About Tidewell\" shows \"Tidewell\" and \"Version ${version:-?}\"" \
    drv expect-dialog 100 5000 "1023=Version ${version:-?}"
  [[ $how = "click 1004" ]] && check "l: screenshot-about.png written" dialog_png "About Tidewell" screenshot-about.png
  check "l: OK pressed" drv dialog-button "About Tidewell" 1
  check "l: the About box closes" drv no-dialog "About Tidewell" 1000
done

# Each help dialog from its link, with its texts exactly; the main window
# stays as it was.
drv main-state >"$work/main-before" 2>>"$log"
for pair in "1019 107 Short Image Help" "1041 109 Disk Speed Help"; do
  read -r link tmpl help <<<"$pair"
  check "l: link $link clicked" drv link "$link"
  check "l: \"$help\" with its texts" drv expect-dialog "$tmpl" 5000
  check "l: OK pressed in \"$help\"" drv dialog-button "$help" 1
  check "l: \"$help\" closes" drv no-dialog "$help" 1000
  drv main-state >"$work/main-after" 2>>"$log"
  check "l: the main window as before \"$help\"" diff "$work/main-before" "$work/main-after"
done
check "l: Exit clicked" drv click 1
ends l

# m. The update notice, from Tidewell.exe built against the loopback HTTPS
# server that scripts/test.sh runs (its test CA trusted in this prefix).
if [[ -n ${TIDEWELL_LOOPBACK_EXE:-} && -f ${TIDEWELL_LOOPBACK_EXE:-} && -d ${TIDEWELL_TLS_WWW:-} ]]; then
  list=$TIDEWELL_TLS_WWW/downloads/version.htm
  # listed VERSION: the version list names VERSION for Tidewell.
  listed() { printf '<html><body>\r\nOTHERTOOL:9.9.9.9\r\nTIDEWELL:%s\r\n</body></html>\r\n' "$1" >"$list"; }

  listed 9.0.0.0
  started "m, newer" "$TIDEWELL_LOOPBACK_EXE"
  check "m, newer: \"Update Notification\" with its two texts" drv expect-dialog 108 15000
  check "m, newer: screenshot-update.png written" dialog_png "Update Notification" screenshot-update.png
  check "m, newer: Cancel pressed" drv dialog-button "Update Notification" 2
  check "m, newer: the notice closes" drv no-dialog "Update Notification" 1000
  check "m, newer: the notice is not shown again" drv no-dialog "Update Notification" 3000
  check "m, newer: Exit clicked" drv click 1
  ends "m, newer"

  for v in "${version:-1.0.0.0}" 0.9.9.9 "${version%.*}.9"; do
    listed "$v"
    started "m, $v listed" "$TIDEWELL_LOOPBACK_EXE"
    check "m, $v listed: no notice" drv no-dialog "Update Notification" 5000
    check "m, $v listed: no message box" drv no-msgbox 100
    check "m, $v listed: Exit clicked" drv click 1
    ends "m, $v listed"
  done

  # n. Closing while the check waits on a server that has gone silent: the
  # window goes and the process ends at once.
  listed 9.0.0.0
  stall=$TIDEWELL_TLS_WWW/downloads/stall
  rm -f "$stall.held"
  touch "$stall"
  started "n, silent server" "$TIDEWELL_LOOPBACK_EXE"
  held() {
    for _ in $(seq 100); do [[ -f $stall.held ]] && return 0; sleep 0.1; done
    echo "no request reached the server within 10 s"
    return 1
  }
  check "n, silent server: the check waits on the server" held
  check "n, silent server: Exit clicked" drv click 1
  ends "n, silent server"
  rm -f "$stall" "$stall.held"
else
  note "skip m, n: no loopback build or server (scripts/test.sh provides both)"
fi

# ---- the disk imager, on the demo's drives ----
# The demo writes its drives' bytes to the user's temporary folder at start;
# stick E (device 2) is 40 cylinders of 8,225,280 bytes and 1 MiB more, with
# a partition table and data into its third cylinder, then zeros.
cylinder=8225280

# drive_file NUMBER: the demo's backing file of that physical drive.
drive_file() { find "$WINEPREFIX/drive_c/users" -name "TidewellDemo-PhysicalDrive$1.bin" 2>/dev/null | head -n1; }

# image_is FILE DRIVE CYLINDERS: the file is exactly the drive's first cylinders.
image_is() {
  local file=$1 drive size want=$(($3 * cylinder))
  drive=$(drive_file "$2")
  [[ -n $drive ]] || { echo "no backing file of drive $2"; return 1; }
  size=$(stat -c %s "$file" 2>/dev/null) || { echo "no image $file"; return 1; }
  [[ $size -eq $want ]] || { echo "the image has $size bytes, want $want"; return 1; }
  cmp -n "$want" "$file" "$drive" && echo "$size bytes equal to the drive's first $3 cylinders"
}

# o. A full image of E, then a short one, through the real window.
started o "$demo"
check "o: 1016 shows E" drv expect-text 1016 E
# The save dialog adds the image type's extension to a name typed without one.
checks "o, ..." drv browse-save "$(winpath "$work/e-full")" "$(winpath "$work/e-full.img")"
checks "o, full" drv image-run --moves --result "Disk image successfully written." \
  --shot "$(winpath "$work/imaging.bmp")"
check "o: screenshot-imaging.png written" to_png "$work/imaging.bmp" screenshot-imaging.png
check "o: the full image is E's 40 cylinders, byte for byte" image_is "$work/e-full.img" 2 40
check "o: \"Short Image\" checked" drv set-check 1018 on
check "o: a new path typed into 1017" drv set-text 1017 "$(winpath "$work/e-short.img")"
checks "o, short" drv image-run --moves --result "Disk image successfully written."
check "o: the short image ends with E's third cylinder, the last with data" \
  image_is "$work/e-short.img" 2 3
# p. A directory as the path: the system's text for code 5, the bar in its error state.
check "p: a folder typed into 1017" drv set-text 1017 "$(winpath "$work")"
checks p drv image-run --error --result $'Error making disk image.\nAccess is denied.\r\n'
check "p: Exit clicked" drv click 1
ends o

# q. Closing during a run: the copy stops and the program ends within seconds.
started q "$demo"
check "q: the image path typed into 1017" drv set-text 1017 "$(winpath "$work/e-closed.img")"
checks q drv image-run --close-at 20
ends q

summary
