# Dependencies: header-only ones from Debian's packages, libcurl and the LZMA SDK from the cache that
# scripts/bootstrap fills, GoogleTest from Debian's sources (see tests/).
set(PELORA_DEPS_DIR "$ENV{HOME}/.cache/pelora-deps/${PELORA_TARGET_TRIPLE}" CACHE PATH
    "Folder holding curl/ and lzma/ built for this target by scripts/bootstrap")

# Debian's header-only packages sit in /usr/include, which must not be on the cross compiler's
# search path as a whole; link just their folders into one of ours.
set(PELORA_DEPS_INCLUDE ${CMAKE_BINARY_DIR}/deps-include)
foreach(header rapidjson/document.h stb/stb_image.h)
    get_filename_component(folder ${header} DIRECTORY)
    if(NOT EXISTS /usr/include/${header})
        message(FATAL_ERROR "/usr/include/${header} is missing: run scripts/bootstrap")
    endif()
    file(MAKE_DIRECTORY ${PELORA_DEPS_INCLUDE})
    file(CREATE_LINK /usr/include/${folder} ${PELORA_DEPS_INCLUDE}/${folder} SYMBOLIC)
endforeach()

add_library(rapidjson INTERFACE)
target_include_directories(rapidjson SYSTEM INTERFACE ${PELORA_DEPS_INCLUDE})
target_compile_definitions(rapidjson INTERFACE RAPIDJSON_HAS_STDSTRING=1)

add_library(stb_image INTERFACE)
target_include_directories(stb_image SYSTEM INTERFACE ${PELORA_DEPS_INCLUDE})

# A static library that scripts/bootstrap built into the cache.
function(pelora_cached_library name lib include)
    if(NOT EXISTS ${PELORA_DEPS_DIR}/${lib})
        message(FATAL_ERROR "${PELORA_DEPS_DIR}/${lib} is missing: run scripts/bootstrap")
    endif()
    add_library(${name} STATIC IMPORTED GLOBAL)
    set_target_properties(${name} PROPERTIES IMPORTED_LOCATION ${PELORA_DEPS_DIR}/${lib})
    target_include_directories(${name} SYSTEM INTERFACE ${PELORA_DEPS_DIR}/${include})
endfunction()

pelora_cached_library(libcurl curl/lib/libcurl.a curl/include)
target_compile_definitions(libcurl INTERFACE CURL_STATICLIB)
target_link_libraries(libcurl INTERFACE ws2_32 crypt32 secur32 bcrypt advapi32)

pelora_cached_library(lzmasdk lzma/lib/liblzmasdk.a lzma/include)
