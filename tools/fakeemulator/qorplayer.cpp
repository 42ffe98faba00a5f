// Stand-in for the emulator "qorplayer.exe": records its command line to qorplayer-record.txt in the
// record folder (see FakeRecord.h) and ends at once, so a test sees that it was started and with what.

#include <windows.h>

#include "tools/fakeemulator/FakeRecord.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return fakeemulator::appendRecord(L"qorplayer-record.txt") ? 0 : 1;
}
