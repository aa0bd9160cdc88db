# Dear ImGui 1.86 compiled from Debian's source package (fetched by scripts/setup). Each
# consumer gets its own copy, as plugins and their host do: the plugin draws into the
# context that the host hands it.
if(DEFINED ENV{KESTREL_CACHE})
    set(_kestrel_cache "$ENV{KESTREL_CACHE}")
else()
    set(_kestrel_cache "$ENV{HOME}/.cache/kestrel")
endif()
set(KESTREL_IMGUI_DIR "${_kestrel_cache}/imgui-1.86" CACHE PATH "Dear ImGui 1.86 sources")
if(NOT EXISTS "${KESTREL_IMGUI_DIR}/imgui.cpp")
    message(FATAL_ERROR "Dear ImGui sources not found in ${KESTREL_IMGUI_DIR}: run scripts/setup")
endif()

# Headers only, for code that draws but leaves the choice of ImGui copy to the final binary.
add_library(kestrel_imgui_headers INTERFACE)
target_include_directories(kestrel_imgui_headers SYSTEM INTERFACE "${KESTREL_IMGUI_DIR}" "${KESTREL_IMGUI_DIR}/misc/cpp")

# kestrel_imgui is the one plain copy, compiled once; a static library is copied into each
# binary that links it, so the plugin, the development host and the benchmarks still each get a
# copy of their own. kestrel_add_imgui(name) names that copy for a consumer, GLFW adds the
# window and OpenGL backends beside it, and TEST_ENGINE compiles a copy of its own with the
# test-engine hooks switched on.
function(_kestrel_compile_imgui target)
    list(TRANSFORM ARGN PREPEND "${KESTREL_IMGUI_DIR}/" OUTPUT_VARIABLE sources)
    add_library(${target} STATIC ${sources})
    # Its enum arithmetic is deprecated in C++20.
    set_target_properties(${target} PROPERTIES CXX_STANDARD 17 CXX_VISIBILITY_PRESET hidden)
    target_link_libraries(${target} PUBLIC kestrel_imgui_headers)
endfunction()

set(_kestrel_imgui_sources imgui.cpp imgui_draw.cpp imgui_tables.cpp imgui_widgets.cpp imgui_demo.cpp misc/cpp/imgui_stdlib.cpp)
_kestrel_compile_imgui(kestrel_imgui ${_kestrel_imgui_sources})

function(kestrel_add_imgui target)
    cmake_parse_arguments(ARG "TEST_ENGINE;GLFW" "" "" ${ARGN})
    if(ARG_TEST_ENGINE)
        _kestrel_compile_imgui(${target} ${_kestrel_imgui_sources})
        target_compile_definitions(${target} PUBLIC IMGUI_ENABLE_TEST_ENGINE)
    elseif(ARG_GLFW)
        _kestrel_compile_imgui(${target} backends/imgui_impl_glfw.cpp backends/imgui_impl_opengl3.cpp)
        target_include_directories(${target} SYSTEM PUBLIC "${KESTREL_IMGUI_DIR}/backends")
        target_link_libraries(${target} PUBLIC kestrel_imgui)
    else()
        add_library(${target} ALIAS kestrel_imgui)
    endif()
endfunction()
