# The shipped program runs elevated from the user's Downloads folder, and Windows looks for every DLL of
# an import table that is not a "known DLL" beside the program first, before main runs. So its import
# table names only the system's core DLLs, which always come from the system folder; every other DLL is
# delay-loaded, and the program loads those itself from the system folder (app/DelayedImports.cpp).
#
# The delay-load import libraries are made at build time from MinGW's own import libraries, with every
# function those offer, so calling a new function needs no list kept by hand.

# May stay in the import table: every Windows loads these from the system folder.
set(PELORA_CORE_DLLS kernel32 user32 gdi32 advapi32 shell32 ole32 oleaut32 shlwapi ws2_32 msvcrt imm32)
# Delay-loaded wherever a program asks for them. One the link pulls in without being named here shows up
# in the import table, and the check below fails the build.
set(PELORA_DELAY_LOADED_DLLS bcrypt crypt32 gdiplus iphlpapi oleacc secur32 wininet wintrust)

find_program(PELORA_DLLTOOL ${PELORA_TARGET_TRIPLE}-dlltool REQUIRED)
find_program(PELORA_PYTHON python3 REQUIRED)

set(PELORA_DELAY_DEF_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/delay_import_def.py)
set(PELORA_IMPORT_CHECK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/check_imports.py)
set(PELORA_DELAY_LIST_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/DelayedImportList.cpp.in)

if(PELORA_TARGET_TRIPLE MATCHES "^i686")
    # The i686 import libraries name stdcall functions with their "@N" suffix, which the DLLs export
    # without.
    set(PELORA_DLLTOOL_FLAGS --machine i386 --kill-at)
else()
    set(PELORA_DLLTOOL_FLAGS --machine i386:x86-64)
endif()

# pelora_delay_load(TARGET): TARGET links the delay-load import library of every DLL in
# PELORA_DELAY_LOADED_DLLS instead of the ordinary one, and gets the list of their descriptors that
# app/DelayedImports.cpp binds at start-up. Other programs keep the ordinary import libraries.
function(pelora_delay_load target)
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-delayload)
    file(MAKE_DIRECTORY ${dir})
    # One left from a longer list would still take the place of the ordinary library, unbound.
    file(GLOB present ${dir}/lib*.a)
    foreach(library ${present})
        get_filename_component(file ${library} NAME)
        string(REGEX REPLACE "^lib(.*)\\.a$" "\\1" name ${file})
        if(NOT name IN_LIST PELORA_DELAY_LOADED_DLLS)
            file(REMOVE ${library})
        endif()
    endforeach()
    set(libraries)
    set(declarations)
    set(addresses)
    foreach(name ${PELORA_DELAY_LOADED_DLLS})
        find_library(PELORA_IMPORT_LIBRARY_${name} NAMES lib${name}.a REQUIRED)
        set(import_library ${PELORA_IMPORT_LIBRARY_${name}})
        # Run inside dir with a bare output name: dlltool names the descriptor after the output path.
        add_custom_command(
            OUTPUT ${dir}/lib${name}.a
            COMMAND ${PELORA_PYTHON} ${PELORA_DELAY_DEF_SCRIPT} ${import_library} ${name}.def
            COMMAND ${PELORA_DLLTOOL} ${PELORA_DLLTOOL_FLAGS} --input-def ${name}.def --output-delaylib lib${name}.a
            WORKING_DIRECTORY ${dir}
            DEPENDS ${import_library} ${PELORA_DELAY_DEF_SCRIPT}
            COMMENT "Making the delay-load import library of ${name}"
            VERBATIM
        )
        list(APPEND libraries ${dir}/lib${name}.a)
        string(APPEND declarations
            "extern const ImgDelayDescr delayed_${name} __asm__(\"__DELAY_IMPORT_DESCRIPTOR_lib${name}_a\");\n")
        string(APPEND addresses "    &delayed_${name},\n")
    endforeach()
    configure_file(${PELORA_DELAY_LIST_TEMPLATE} ${dir}/DelayedImportList.cpp @ONLY)

    add_custom_target(${target}_delay_libraries DEPENDS ${libraries})
    add_dependencies(${target} ${target}_delay_libraries)
    target_sources(${target} PRIVATE ${dir}/DelayedImportList.cpp)
    # Found before the toolchain's folder, so every "-lwininet" of the link, a dependency's too, takes
    # the delay-load library; naming them here also brings in those no dependency asks for.
    target_link_directories(${target} BEFORE PRIVATE ${dir})
    target_link_libraries(${target} PRIVATE ${PELORA_DELAY_LOADED_DLLS})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${libraries})
endfunction()

# pelora_check_imports(TARGET): every build of TARGET fails unless its import table names only
# PELORA_CORE_DLLS. Checked on the file, so it holds for builds this machine cannot run as well.
function(pelora_check_imports target)
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}-imports.checked)
    add_custom_command(
        OUTPUT ${stamp}
        COMMAND ${PELORA_PYTHON} ${PELORA_IMPORT_CHECK_SCRIPT} $<TARGET_FILE:${target}> ${PELORA_CORE_DLLS}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${target} ${PELORA_IMPORT_CHECK_SCRIPT}
        COMMENT "Checking the import table of ${target}"
        VERBATIM
    )
    add_custom_target(${target}_import_check ALL DEPENDS ${stamp})
endfunction()
