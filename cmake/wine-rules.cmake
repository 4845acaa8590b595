# Loaded after CMake's platform files for the Win32 sub-build (see
# wine-toolchain.cmake). wineg++ -o name writes name.exe and name.exe.so:
# with this suffix the target file CMake tracks is the one that exists.
set(CMAKE_EXECUTABLE_SUFFIX ".exe")
