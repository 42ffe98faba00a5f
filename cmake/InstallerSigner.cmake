# The name a release requires in the Authenticode signature of the emulator installer it downloads,
# before it runs that installer with administrator rights. Empty (test and demo builds, which serve
# unsigned fakes) runs the installer after its digest check alone.
set(PELORA_INSTALLER_SIGNER "" CACHE STRING
    "Subject (simple display name) the installer's signature must carry; empty skips the signature check")

# pelora_installer_signer(TARGET NAME): TARGET's "app/InstallerSigner.h" names NAME.
function(pelora_installer_signer target name)
    string(REPLACE "\\" "\\\\" escaped "${name}")
    string(REPLACE "\"" "\\\"" escaped "${escaped}")
    set(folder ${CMAKE_CURRENT_BINARY_DIR}/signer-${target})
    file(CONFIGURE OUTPUT ${folder}/app/InstallerSigner.h CONTENT
        "#pragma once\n// Generated at configuration: the signer this program requires of the installer.\nconstexpr wchar_t kInstallerSigner[] = L\"${escaped}\";\n")
    target_include_directories(${target} PRIVATE ${folder})
endfunction()
