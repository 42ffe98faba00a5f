#include "model/InstallOutcome.h"

const wchar_t* installOutcomeName(InstallOutcome outcome) {
    switch (outcome) {
    case InstallOutcome::Installed: return L"installed";
    case InstallOutcome::NotStarted: return L"notStarted";
    case InstallOutcome::NoPlayer: break;
    }
    return L"noPlayer";
}
