# The skin package: skin/ packed by Debian's 7zz (solid 7z, LZMA2, 2 MiB dictionary) as resource
# ZIPRES 129, and the licence texts as UTF-16LE resources TXT 130 (simplified Chinese), 131
# (traditional Chinese) and 132 (English). Programs that show the skin add ${PELORA_SKIN_RC}.
# pelora_pack_skin(ARCHIVE FOLDER ITEM...): the items of FOLDER packed into ARCHIVE as the shipped
# package is, repacked whenever a file below FOLDER changes.
function(pelora_pack_skin archive folder)
    file(GLOB_RECURSE files CONFIGURE_DEPENDS ${folder}/*)
    add_custom_command(
        OUTPUT ${archive}
        COMMAND ${CMAKE_COMMAND} -E rm -f ${archive}
        COMMAND 7zz a -t7z -m0=lzma2 -md=2m -ms=on -bso0 -bsp0 ${archive} ${ARGN}
        WORKING_DIRECTORY ${folder}
        DEPENDS ${files}
        COMMENT "Packing ${archive}"
        VERBATIM
    )
endfunction()

set(skin_dir ${CMAKE_SOURCE_DIR}/skin)
set(skin_out ${CMAKE_BINARY_DIR}/skin)
file(MAKE_DIRECTORY ${skin_out})

# What the package holds: everything but the designers' notes, the image sources and the licences.
file(GLOB skin_top RELATIVE ${skin_dir} CONFIGURE_DEPENDS ${skin_dir}/*)
list(REMOVE_ITEM skin_top README.md art licence)
set(PELORA_SKIN_ARCHIVE ${skin_out}/skin.7z)
pelora_pack_skin(${PELORA_SKIN_ARCHIVE} ${skin_dir} ${skin_top})

set(skin_resources ${PELORA_SKIN_ARCHIVE})
set(skin_rc_lines "129 ZIPRES \"${PELORA_SKIN_ARCHIVE}\"\n")
foreach(entry "130;cn" "131;tw" "132;en")
    list(GET entry 0 id)
    list(GET entry 1 language)
    set(source ${skin_dir}/licence/licence_${language}.txt)
    set(utf16 ${skin_out}/licence_${language}.utf16)
    add_custom_command(
        OUTPUT ${utf16}
        COMMAND iconv -f UTF-8 -t UTF-16LE -o ${utf16} ${source}
        DEPENDS ${source}
        VERBATIM
    )
    list(APPEND skin_resources ${utf16})
    string(APPEND skin_rc_lines "${id} TXT \"${utf16}\"\n")
endforeach()

set(PELORA_SKIN_RC ${skin_out}/skin.rc)
file(GENERATE OUTPUT ${PELORA_SKIN_RC} CONTENT "${skin_rc_lines}")
add_custom_target(pelora_skin_package DEPENDS ${skin_resources})
set(PELORA_SKIN_RESOURCES ${skin_resources} CACHE INTERNAL "Files the skin resource script embeds")

# Adds the skin resources to a program; its resource object is rebuilt whenever they change.
function(pelora_add_skin target)
    target_sources(${target} PRIVATE ${PELORA_SKIN_RC})
    set_source_files_properties(${PELORA_SKIN_RC} TARGET_DIRECTORY ${target}
        PROPERTIES OBJECT_DEPENDS "${PELORA_SKIN_RESOURCES}")
    add_dependencies(${target} pelora_skin_package)
endfunction()
