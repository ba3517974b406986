# Makes the JUCE 8 module targets (juce::juce_core, …) and juce_add_plugin available.
# A system JUCE 8 CMake package wins; otherwise the copy that tools/setup.sh unpacks
# into .deps/juce8 is used. Its prebuilt juceaide is never run: the build uses no
# juceaide feature on Linux (no JuceHeader, no binary-data targets), and the VST3
# manifest helper is built from source by JUCE's own CMake code.

find_package(JUCE 8 CONFIG QUIET)
if(JUCE_FOUND)
    message(STATUS "Using system JUCE ${JUCE_VERSION}")
    return()
endif()

set(VOVUZA_JUCE_ROOT "${CMAKE_SOURCE_DIR}/.deps/juce8" CACHE PATH "Unpacked JUCE 8 packages")
file(GLOB _juce_cmake_dirs "${VOVUZA_JUCE_ROOT}/usr/lib/*/cmake/JUCE-8*")
list(LENGTH _juce_cmake_dirs _juce_cmake_count)
if(NOT _juce_cmake_count EQUAL 1)
    message(FATAL_ERROR "JUCE 8 not found in ${VOVUZA_JUCE_ROOT}: run tools/setup.sh first")
endif()
list(GET _juce_cmake_dirs 0 _juce_cmake_dir)
string(REGEX REPLACE ".*JUCE-" "" JUCE_VERSION "${_juce_cmake_dir}")
message(STATUS "Using JUCE ${JUCE_VERSION} from ${VOVUZA_JUCE_ROOT}")

set(JUCE_MODULES_DIR "${VOVUZA_JUCE_ROOT}/usr/share/juce/modules" CACHE INTERNAL "JUCE modules")

# juceaide is referenced by JUCE's CMake code; point it at a stub that fails loudly
# should any feature ever need it.
if(NOT TARGET juce::juceaide)
    add_executable(juce::juceaide IMPORTED)
    set_target_properties(juce::juceaide PROPERTIES
        IMPORTED_LOCATION "${CMAKE_CURRENT_LIST_DIR}/juceaide-unavailable.sh")
endif()

include("${_juce_cmake_dir}/JUCEModuleSupport.cmake")
include("${_juce_cmake_dir}/JUCEUtils.cmake")

foreach(_module IN ITEMS juce_core juce_events juce_data_structures juce_graphics
        juce_gui_basics juce_gui_extra juce_audio_basics juce_audio_devices
        juce_audio_formats juce_audio_processors juce_audio_utils
        juce_audio_plugin_client juce_dsp)
    juce_add_module("${JUCE_MODULES_DIR}/${_module}" ALIAS_NAMESPACE juce)
endforeach()
