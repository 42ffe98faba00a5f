#pragma once
// What running the emulator's installer came to. The installer's exit code is not trusted; what it left
// in the install folder decides.

enum class InstallOutcome {
    Installed,   // qorplayer.exe is in the install folder after the installer ended or outlived its wait
    NotStarted,  // the installer could not be held or its process not created
    NoPlayer,    // the installer ran but left no qorplayer.exe behind
};

// "installed", "notStarted", "noPlayer".
const wchar_t* installOutcomeName(InstallOutcome outcome);
