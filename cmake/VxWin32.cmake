# Builds the Win32 tree (cmake/win32) as a sub-build of the native one, so one
# configure-and-build command makes both. The sub-build links the native
# static libraries through an export file written here, and its tests join
# the native build's CTest run.
include(ExternalProject)

find_program(VX_WINEGXX_FOUND NAMES wineg++ wineg++-stable HINTS /usr/lib/wine /usr/bin)
if(NOT VX_WINEGXX_FOUND)
  message(FATAL_ERROR "wineg++ not found: install wine64-tools (scripts/setup.sh) "
                      "or configure with -DVX_BUILD_WIN32=OFF for the native tree alone")
endif()

# imglib and every library target of this project it links, transitively:
# export() needs the whole set.
function(vx_collect_link_targets target out)
  set(seen ${${out}})
  if(target IN_LIST seen)
    return()
  endif()
  list(APPEND seen ${target})
  get_target_property(libs ${target} LINK_LIBRARIES)
  foreach(lib IN LISTS libs)
    if(TARGET ${lib})
      get_target_property(imported ${lib} IMPORTED)
      if(NOT imported)
        vx_collect_link_targets(${lib} seen)
      endif()
    endif()
  endforeach()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

set(_vx_native_targets "")
vx_collect_link_targets(imglib _vx_native_targets)
set(_vx_targets_file "${CMAKE_BINARY_DIR}/vx-native-targets.cmake")
export(TARGETS ${_vx_native_targets} FILE "${_vx_targets_file}")

set(_vx_win32_dir "${CMAKE_BINARY_DIR}/win32")
# The viewer's cases check its edits against the library's own tool.
set(_vx_iltool "")
set(_vx_win32_depends ${_vx_native_targets})
if(TARGET iltool)
  set(_vx_iltool "$<TARGET_FILE:iltool>")
  list(APPEND _vx_win32_depends iltool)
endif()
set(_vx_replay "")
if(TARGET vxreplay)
  set(_vx_replay "$<TARGET_FILE:vxreplay>")
  list(APPEND _vx_win32_depends vxreplay)
endif()
ExternalProject_Add(vx_win32
  SOURCE_DIR "${CMAKE_SOURCE_DIR}/cmake/win32"
  BINARY_DIR "${_vx_win32_dir}"
  CMAKE_GENERATOR "${CMAKE_GENERATOR}"
  CMAKE_ARGS
    "-DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/wine-toolchain.cmake"
    "-DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}"
    "-DVX_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    "-DVX_NATIVE_TARGETS=${_vx_targets_file}"
    "-DVX_CORPUS_DIR=${VX_CORPUS_DIR}"
    "-DVX_ILTOOL=${_vx_iltool}"
    "-DVX_REPLAY=${_vx_replay}"
  DEPENDS ${_vx_win32_depends}
  # Let the sub-build's own dependency scan decide what is out of date.
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  # Ninja's console pool streams the sub-build's output as it comes.
  USES_TERMINAL_CONFIGURE ON
  USES_TERMINAL_BUILD ON)

# The sub-build writes its CTestTestfile.cmake; pulling it in from here lets
# one ctest run (and its label and name filters) cover both trees.
if(VX_BUILD_TESTS)
  file(WRITE "${CMAKE_BINARY_DIR}/vx-win32-tests.cmake"
       "if(EXISTS \"${_vx_win32_dir}/CTestTestfile.cmake\")\n"
       "  subdirs(\"${_vx_win32_dir}\")\n"
       "endif()\n")
  set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY
               TEST_INCLUDE_FILES "${CMAKE_BINARY_DIR}/vx-win32-tests.cmake")
endif()
