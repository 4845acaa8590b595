# The system libraries ImgLib links. Both the native build and the Win32
# sub-build include this file, so the Win32 programs that link the native
# static imglib resolve the same names: add new codec libraries here.
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
pkg_check_modules(DEPS REQUIRED IMPORTED_TARGET
  lcms2 libexif libiptcdata exempi-2.0 libpng libjpeg zlib OpenEXR Imath
  libtiff-4 freetype2 fontconfig libwebp libpgf libraw_r libjxr)
