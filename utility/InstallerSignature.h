#pragma once
// Whether an installer carries an Authenticode signature that Windows trusts, made by the expected
// publisher. Checked through the handle the caller keeps open (read access, shared for reading only) from
// this check until the installer starts, so the file that runs is the file that was checked.

#include <windows.h>

#include <string>

namespace utility {

enum class SignatureVerdict {
    Trusted,      // signed, intact, chained to a trusted root, by expectedSigner
    NotSigned,    // no signature at all
    NotTrusted,   // changed after signing, a broken signature, or a chain to no trusted root
    WrongSigner,  // a trusted signature by someone other than expectedSigner
};

// path names the file the handle is open on. expectedSigner is compared, exactly, with the simple display
// name of the signing certificate's subject (its common name). Logs one line with the verdict and the
// signer. Blocking; any thread.
SignatureVerdict checkInstallerSignature(HANDLE file, const std::wstring& path, const std::wstring& expectedSigner);

}  // namespace utility
