# The system libraries ImgLib links. Both the native build and the Win32
# sub-build include this file, so the Win32 programs that link the native
# static imglib resolve the same names: add new codec libraries here.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
# Loaded with the process: libjpeg (the commonest file).
pkg_check_modules(DEPS REQUIRED IMPORTED_TARGET
  libjpeg)
# Loaded on their first call (imglib/lazy_library.h), so that starting a
# program does not pay for them: ImgLib takes only their headers. Programs
# that call them themselves (tests, benchmarks) link PkgConfig::CODECS.
pkg_check_modules(CODECS REQUIRED IMPORTED_TARGET
  lcms2 libexif libiptcdata exempi-2.0 libpng zlib OpenEXR Imath
  libtiff-4 freetype2 fontconfig libwebp libpgf libraw_r libjxr)
# Imath is used for its headers: without its lookup table, whose pointer is
# data in the library, half conversions compile to code and a program that
# reads no OpenEXR file never loads it (the row kernels read the library's
# own table, imglib/convert/half_float.h).
add_compile_definitions(IMATH_HALF_NO_LOOKUP_TABLE)
