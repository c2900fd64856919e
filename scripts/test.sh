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

step "Windows test program over the real platform, under Wine"
# E: is a host folder that Wine takes for a removable drive: the drive list's
# services are called on it. The registry value needs a fresh wineserver.
mkdir -p "$root/build-win/removable-e"
ln -sfn "$root/build-win/removable-e" "$WINEPREFIX/dosdevices/e:"
wine reg add 'HKLM\Software\Wine\Drives' /v e: /d floppy /f >/dev/null 2>&1
wineserver -k || true
wine build-win/tests/win32/tw_win32_tests.exe --gtest_brief=1
wineserver -k || true

step "end-to-end under Xvfb and Wine"
TIDEWELL_WINEPREFIX=$WINEPREFIX bash scripts/e2e.sh build-win
