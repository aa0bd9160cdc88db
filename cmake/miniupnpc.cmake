# miniupnpc for the router's port mapping: the system's library on Linux; for the Windows DLL
# Debian's source package (fetched by scripts/setup into the cache beside the ImGui sources),
# built static with its own CMake so its warnings stay out of our -Werror.
add_library(kestrel_miniupnpc INTERFACE)

if(NOT WIN32)
    pkg_check_modules(MINIUPNPC REQUIRED IMPORTED_TARGET miniupnpc)
    target_link_libraries(kestrel_miniupnpc INTERFACE PkgConfig::MINIUPNPC)
    return()
endif()

set(KESTREL_MINIUPNPC_DIR "${_kestrel_cache}/miniupnpc-2.2.4" CACHE PATH "miniupnpc 2.2.4 sources")
if(NOT EXISTS "${KESTREL_MINIUPNPC_DIR}/CMakeLists.txt")
    message(FATAL_ERROR "miniupnpc sources not found in ${KESTREL_MINIUPNPC_DIR}: run scripts/setup")
endif()

include(ExternalProject)
set(_miniupnpc_prefix "${CMAKE_BINARY_DIR}/miniupnpc")
set(_miniupnpc_library "${_miniupnpc_prefix}/lib/libminiupnpc.a")
ExternalProject_Add(miniupnpc_build
    SOURCE_DIR "${KESTREL_MINIUPNPC_DIR}"
    BINARY_DIR "${_miniupnpc_prefix}/build"
    INSTALL_DIR "${_miniupnpc_prefix}"
    CMAKE_ARGS
        "-DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}"
        "-DCMAKE_BUILD_TYPE=Release"
        "-DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>"
        "-DCMAKE_INSTALL_LIBDIR=lib"
        "-DCMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER}"
        -DUPNPC_BUILD_SHARED=OFF -DUPNPC_BUILD_TESTS=OFF -DUPNPC_BUILD_SAMPLE=OFF
    BUILD_BYPRODUCTS "${_miniupnpc_library}"
    UPDATE_COMMAND ""
    # Its headers sit flat in include/; callers include <miniupnpc/...>, as on Linux.
    INSTALL_COMMAND "${CMAKE_COMMAND}" --build . --target install
        COMMAND "${CMAKE_COMMAND}" -E copy_directory "${KESTREL_MINIUPNPC_DIR}/include" "<INSTALL_DIR>/include/miniupnpc")
file(MAKE_DIRECTORY "${_miniupnpc_prefix}/include")

add_library(kestrel_miniupnpc_static STATIC IMPORTED GLOBAL)
set_target_properties(kestrel_miniupnpc_static PROPERTIES IMPORTED_LOCATION "${_miniupnpc_library}")
add_dependencies(kestrel_miniupnpc_static miniupnpc_build)
target_include_directories(kestrel_miniupnpc SYSTEM INTERFACE "${_miniupnpc_prefix}/include")
target_compile_definitions(kestrel_miniupnpc INTERFACE MINIUPNP_STATICLIB)
target_link_libraries(kestrel_miniupnpc INTERFACE kestrel_miniupnpc_static ws2_32 iphlpapi)
