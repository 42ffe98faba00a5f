#!/usr/bin/env bash
# Runs the fake installer, console tool and player of the x86_64 build under Wine with the raw command
# lines the downloader gives them, then prints the record files, the installed files and the registry.
# Uses its own Wine prefix (never the shared one, whose wineserver others use).
#   tools/fakeemulator/exercise.sh [PREFIX]      (default /tmp/fakeemulator-wp)
set -u
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export PELORA_WINEPREFIX="${1:-/tmp/fakeemulator-wp}"
work="$(mktemp -d /tmp/fakeemulator-XXXXXX)"
export PELORA_FAKE_RECORD_DIR="$work/records"
bin='Z:'"$(printf '%s' "$root/build/x86_64-w64-mingw32/bin" | tr / '\\')"

# A batch file passes each line to CreateProcess as it stands; wine's own argument quoting would not.
{
    printf '@echo off\r\n'
    printf 'mkdir "C:\\fake dl cn" 2>NUL\r\n'
    printf 'copy /y "%s\\fakeinstaller.exe" "C:\\fake dl cn\\pelinst.exe" >NUL\r\n' "$bin"
    printf '"%s\\fakeinstaller.exe" -silence -downloader -openid=100 -language=en_US -path="C:\\Fake Pelora\\Pelora4.0\\"\r\n' "$bin"
    printf '"C:\\fake dl cn\\pelinst.exe" -silence -downloader -openid=12345 -path="C:\\Fake Vantor\\Pelora4.0\\" -googleid=g1\r\n'
    printf '"%s\\fakeinstaller.exe" -silence -downloader -openid=100 -path="C:\\Fake Pelora\\Pelora64\\" -regkey="Software\\Merrow\\Pelora64"\r\n' "$bin"
    printf '"C:\\Fake Pelora\\Pelora4.0\\qorconsole.exe" modify --index 0 --resolution 1280,720,240\r\n'
    printf '"C:\\Fake Pelora\\Pelora4.0\\qorconsole.exe" installapk --index 0 --filename "C:\\Fake Pelora\\Pelora4.0\\\\Example Game.apk" --packagename com.example.game --fileobb "C:\\Fake Pelora\\Pelora4.0\\\\qorplayer.exe" --wait --hide\r\n'
    printf '"C:\\Fake Pelora\\Pelora4.0\\qorplayer.exe" package=com.example.game\r\n'
    printf 'reg query "HKCU\\Software\\Merrow\\Pelora" /v InstallDir\r\n'
    printf 'reg query "HKCU\\Software\\vantor\\Pelora" /v InstallDir\r\n'
    printf 'reg query "HKCU\\Software\\Merrow\\Pelora64" /v InstallDir\r\n'
} > "$work/run.bat"

. "$root/scripts/lib/env.sh"
. "$root/scripts/lib/session.sh"
trap stop_session EXIT
start_session "$root/build" || exit 1
wine cmd.exe /c "Z:$(printf '%s' "$work/run.bat" | tr / '\\')" 2>&1 | tr -d '\r' | grep -v '^$'
for f in "$work"/records/*.txt; do printf '== %s\n' "$(basename "$f")"; cat "$f"; done
printf '== installed\n'
(cd "$WINEPREFIX/drive_c" && find "Fake Pelora" "Fake Vantor" | sort)
printf '== records and batch file kept in %s\n' "$work"
