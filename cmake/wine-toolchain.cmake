# Builds winelib programs: Win32 code compiled by wineg++ into ELF shared
# objects (name.exe.so) that Wine's loader runs, with a launcher script
# (name.exe) beside them. These programs link the natively built static
# imglib, so everything stays on the host's glibc and libstdc++.
#
# wineg++ compiles with -fshort-wchar: wchar_t is 2 bytes here and 4 in the
# native build, so wchar_t must never cross between the two.

set(_vx_wine_hints /usr/lib/wine /usr/bin)
find_program(VX_WINEGCC NAMES winegcc winegcc-stable HINTS ${_vx_wine_hints} REQUIRED)
find_program(VX_WINEGXX NAMES wineg++ wineg++-stable HINTS ${_vx_wine_hints} REQUIRED)
find_program(VX_WRC NAMES wrc wrc-stable HINTS ${_vx_wine_hints} REQUIRED)

set(CMAKE_C_COMPILER "${VX_WINEGCC}")
set(CMAKE_CXX_COMPILER "${VX_WINEGXX}")
set(CMAKE_RC_COMPILER "${VX_WRC}")
# The executable suffix must be set after CMake's platform files, which reset it.
set(CMAKE_USER_MAKE_RULES_OVERRIDE "${CMAKE_CURRENT_LIST_DIR}/wine-rules.cmake")

# wrc takes -o and the include path like a compiler but does not know the
# dependency and define flags CMake's default rule would hand it.
set(CMAKE_RC_COMPILE_OBJECT
    "<CMAKE_RC_COMPILER> <INCLUDES> <FLAGS> <DEFINES> -o <OBJECT> <SOURCE>")
