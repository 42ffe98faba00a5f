#pragma once
// The digest the market announces with its installer address: what a downloaded installer must hash
// to before it may take its place, and again before it runs.

#include <windows.h>

#include <string>

#include "utility/Digest.h"

struct InstallerDigest {
    utility::digest::Algorithm algorithm = utility::digest::Algorithm::Md5;
    std::string hex;  // lowercase; empty when none was announced in a usable form

    bool announced() const { return !hex.empty(); }
    const wchar_t* name() const;  // "md5" or "sha256", for log lines and events
};

// From the version answer's "sha256" and "md5" texts: SHA-256 (64 hexadecimal digits) wins over MD5
// (32); a text of any other form counts as not announced and is logged.
InstallerDigest installerDigestFrom(const std::string& sha256, const std::string& md5);

// True when the file behind the handle, read whole through it, hashes to the digest.
bool fileMatchesDigest(HANDLE file, const InstallerDigest& digest);
