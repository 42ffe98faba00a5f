#pragma once
// The market settings are process-wide: each case that lets init change them starts from the defaults.

#include "model/ConfigImp.h"

inline void resetMarket() {
    ConfigImp& config = ConfigImp::instance();
    config.setLanguage(L"en");
    config.setAdId(L"Pelora Installer");
    config.setPlayer4();
}
