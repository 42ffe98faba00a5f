# Where the program reaches the market's servers. A test or demo build points all three at 127.0.0.1;
# every address of the region profiles and of analytics is built from these.
set(PELORA_MAINLAND_BASE "https://cdn.pelora.cn" CACHE STRING
    "Scheme, host and optional port of the mainland content server")
set(PELORA_INTL_BASE "https://cdn.pelora.app" CACHE STRING
    "Scheme, host and optional port of the international content server")
set(PELORA_ANALYTICS_BASE "http://www.google-analytics.com" CACHE STRING
    "Scheme, host and optional port of the analytics collection endpoint")

foreach(base PELORA_MAINLAND_BASE PELORA_INTL_BASE PELORA_ANALYTICS_BASE)
    if(NOT ${base} MATCHES "^https?://[^/]+$")
        message(FATAL_ERROR "${base} must be scheme://host[:port] without a path, got '${${base}}'")
    endif()
endforeach()

set(PELORA_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_SOURCE_DIR}/config/ServiceAddresses.h.in
    ${PELORA_GENERATED_DIR}/config/ServiceAddresses.h @ONLY)
