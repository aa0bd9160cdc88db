# Header-only dependencies are exposed through a folder of links to just their own include
# folders: putting /usr/include itself on a MinGW include path would bring in glibc's headers.
set(KESTREL_DEPS_INCLUDE "${CMAKE_BINARY_DIR}/deps/include")
file(MAKE_DIRECTORY "${KESTREL_DEPS_INCLUDE}")
foreach(dir fmt nlohmann toml++)
    if(NOT EXISTS "/usr/include/${dir}")
        message(FATAL_ERROR "/usr/include/${dir} is missing: run scripts/setup")
    endif()
    file(CREATE_LINK "/usr/include/${dir}" "${KESTREL_DEPS_INCLUDE}/${dir}" SYMBOLIC)
endforeach()

# fmt's compiled part is built once, not in every file that includes it (FMT_HEADER_ONLY).
add_library(kestrel_fmt STATIC "${CMAKE_CURRENT_LIST_DIR}/fmt_impl.cpp")
target_include_directories(kestrel_fmt SYSTEM PUBLIC "${KESTREL_DEPS_INCLUDE}")

add_library(kestrel_deps INTERFACE)
target_include_directories(kestrel_deps SYSTEM INTERFACE "${KESTREL_DEPS_INCLUDE}")
target_link_libraries(kestrel_deps INTERFACE kestrel_fmt)

find_package(Threads REQUIRED)

if(NOT WIN32)
    find_package(CURL REQUIRED)
    # Name lookups that a stop can interrupt (Windows has its own, GetAddrInfoExW).
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(CARES REQUIRED IMPORTED_TARGET libcares)
endif()

if(KESTREL_TESTS)
    if(WIN32)
        # Debian ships GoogleTest as source; built with the cross compiler it runs under Wine.
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
        add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
    else()
        find_package(GTest REQUIRED)
    endif()
    include(GoogleTest)
endif()
