#!/usr/bin/env bash
# Everything: installs what is missing, builds the native and the Windows
# builds, runs the native suite, its ThreadSanitizer and AddressSanitizer/UBSan
# builds, the Windows suite under Wine, and the end-to-end checks of the real
# window under Xvfb and Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

if [ "$(id -u)" = 0 ]; then bash scripts/setup.sh; fi

step() { printf '\n=== %s\n' "$*"; }

step "native build and suite"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2

step "fuzzing the version list (25 s)"
cmake -S fuzz -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j2
fuzz_work=$(mktemp -d)
./build-fuzz/version_list_fuzz -max_total_time=25 -print_final_stats=1 -artifact_prefix="$fuzz_work/" \
  "$fuzz_work" fuzz/seeds 2>&1 | grep -E '^(stat::number_of_executed_units|Done)' || true
[ -z "$(ls "$fuzz_work"/crash-* "$fuzz_work"/leak-* "$fuzz_work"/timeout-* 2>/dev/null)" ]
rm -rf "$fuzz_work"

step "ThreadSanitizer build of the suite"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEWELL_SANITIZE=thread >/dev/null
cmake --build build-tsan -j2 --target tw_tests
TSAN_OPTIONS="halt_on_error=1" setarch "$(uname -m)" -R ./build-tsan/tests/tw_tests --gtest_brief=1

step "AddressSanitizer/UBSan build of the suite"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDEWELL_SANITIZE=address >/dev/null
cmake --build build-asan -j2 --target tw_tests
./build-asan/tests/tw_tests --gtest_brief=1

step "Windows build"
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win -j2

step "Windows suite under Wine"
export WINEPREFIX="${TIDEWELL_WINEPREFIX:-$root/build-win/wineprefix}" WINEDEBUG=-all
if [ ! -d "$WINEPREFIX" ]; then wineboot -i >/dev/null 2>&1 || true; wineserver -w || true; fi
wine build-win/tests/tw_tests.exe --gtest_brief=1

step "Tidewell.exe against the loopback server"
# The maker's host is a build-time setting: a build of its own asks 127.0.0.1.
tls_port=${TIDEWELL_TLS_PORT:-47443}
cmake -S . -B build-win-loopback -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DTIDEWELL_TESTS=OFF -DTIDEWELL_MAKER_HOST="127.0.0.1:$tls_port" >/dev/null
cmake --build build-win-loopback -j2 --target Tidewell

# HTTPS on loopback with a test CA, for the Windows test program and the
# end-to-end checks; it ends by itself, or with this script.
tls_dir=$root/build-win/tls
rm -f "$tls_dir/ready"
mkdir -p "$tls_dir/www/downloads"
{ printf 'TIDEWELL:9.9.9.9\r\n'; head -c 20000 /dev/zero | tr '\0' 'x'; } >"$tls_dir/www/downloads/version.htm"
python3 scripts/tls_server.py "$tls_dir" --port "$tls_port" --lifetime 900 &
tls_pid=$!
trap 'kill $tls_pid 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -f "$tls_dir/ready" ] && break; sleep 0.2; done
read -r tls_trusted tls_untrusted <"$tls_dir/ready"
export TIDEWELL_TLS_PORT=$tls_trusted TIDEWELL_TLS_UNTRUSTED_PORT=$tls_untrusted
export TIDEWELL_TLS_DIR="Z:${tls_dir//\//\\}"

step "Windows test program over the real platform, under Wine"
# E: is a host folder that Wine takes for a removable drive: the drive list's
# services are called on it; S: is another, for the speed test. The registry
# values need a fresh wineserver.
mkdir -p "$root/build-win/removable-e"
ln -sfn "$root/build-win/removable-e" "$WINEPREFIX/dosdevices/e:"
wine reg add 'HKLM\Software\Wine\Drives' /v e: /d floppy /f >/dev/null 2>&1
speed_drive=$WINEPREFIX/speed-drive
mkdir -p "$speed_drive"
ln -sfn "$speed_drive" "$WINEPREFIX/dosdevices/s:"
wine reg add 'HKLM\Software\Wine\Drives' /v s: /d floppy /f >/dev/null 2>&1
wineserver -k || true
TIDEWELL_SPEED_DRIVE=S wine build-win/tests/win32/tw_win32_tests.exe --gtest_brief=1
wineserver -k || true

step "end-to-end under Xvfb and Wine"
TIDEWELL_WINEPREFIX=$WINEPREFIX TIDEWELL_TLS_WWW=$tls_dir/www \
  TIDEWELL_LOOPBACK_EXE=$root/build-win-loopback/src/Tidewell.exe bash scripts/e2e.sh build-win
