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

function(kestrel_add_imgui target)
    cmake_parse_arguments(ARG "TEST_ENGINE;GLFW" "" "" ${ARGN})
    set(sources imgui.cpp imgui_draw.cpp imgui_tables.cpp imgui_widgets.cpp imgui_demo.cpp misc/cpp/imgui_stdlib.cpp)
    if(ARG_GLFW)
        list(APPEND sources backends/imgui_impl_glfw.cpp backends/imgui_impl_opengl3.cpp)
    endif()
    list(TRANSFORM sources PREPEND "${KESTREL_IMGUI_DIR}/")
    add_library(${target} STATIC ${sources})
    # Its enum arithmetic is deprecated in C++20.
    set_target_properties(${target} PROPERTIES CXX_STANDARD 17 CXX_VISIBILITY_PRESET hidden)
    target_link_libraries(${target} PUBLIC kestrel_imgui_headers)
    if(ARG_GLFW)
        target_include_directories(${target} SYSTEM PUBLIC "${KESTREL_IMGUI_DIR}/backends")
    endif()
    if(ARG_TEST_ENGINE)
        target_compile_definitions(${target} PUBLIC IMGUI_ENABLE_TEST_ENGINE)
    endif()
endfunction()

kestrel_add_imgui(kestrel_imgui)
