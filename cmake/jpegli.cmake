# jpegli, the JPEG XL project's JPEG encoder, and highway beneath it: static
# libraries that scripts/setup.sh builds from Debian 13's source packages,
# natively and for MinGW. Its API is libjpeg's with jpegli_* names
# (#include "lib/jpegli/encode.h") over libjpeg-turbo's jpeglib.h, so one
# program encodes with jpegli and decodes with libjpeg-turbo.
#
# Gives TOLVANE_HAVE_JPEGLI, and only when it is ON the target `jpegli`,
# which brings its include folder, highway, threads, libjpeg-turbo (the
# owner of jpeglib.h) and the definition TOLVANE_HAVE_JPEGLI=1. Without
# the built libraries, or if they don't link, the build goes on without.
option(TOLVANE_JPEGLI "Use jpegli where scripts/setup.sh built it" ON)
set(TOLVANE_HAVE_JPEGLI OFF)

if(WIN32)
  set(_jpegli_env TOLVANE_MINGW_JPEGLI_PREFIX)
  set(_jpegli_default /opt/tolvane-deps/mingw-jpegli)
  set(_jpegli_decoder libjpeg)
else()
  set(_jpegli_env TOLVANE_JPEGLI_PREFIX)
  set(_jpegli_default /opt/tolvane-deps/native-jpegli)
  set(_jpegli_decoder JPEG::JPEG)
endif()
set(_jpegli_prefix "$ENV{${_jpegli_env}}")
if(NOT _jpegli_prefix)
  set(_jpegli_prefix "${_jpegli_default}")
endif()
set(${_jpegli_env} "${_jpegli_prefix}" CACHE PATH "jpegli and highway built by scripts/setup.sh")
set(_jpegli_prefix "${${_jpegli_env}}")
set(_jpegli_lib "${_jpegli_prefix}/lib/libjpegli-static.a")

if(TOLVANE_JPEGLI AND EXISTS "${_jpegli_lib}" AND EXISTS "${_jpegli_prefix}/lib/libhwy.a"
   AND EXISTS "${_jpegli_prefix}/include/lib/jpegli/encode.h")
  find_package(Threads REQUIRED)
  # Both APIs in one program: a clash of names shows at the link, and
  # natively the run shows a disagreement on the structures (jpegli built
  # against another jpeglib.h refuses the compressor). For MinGW the run
  # would need Wine: setup.sh builds it with MinGW libjpeg-turbo's own
  # headers. Checked again whenever the library is rebuilt.
  file(TIMESTAMP "${_jpegli_lib}" _jpegli_stamp)
  if(NOT "${_jpegli_stamp}" STREQUAL "${TOLVANE_JPEGLI_CHECKED}")
    unset(TOLVANE_JPEGLI_LINKS CACHE)
    set(TOLVANE_JPEGLI_CHECKED "${_jpegli_stamp}" CACHE INTERNAL "")
  endif()
  include(CheckCXXSourceCompiles)
  include(CheckCXXSourceRuns)
  include(CMakePushCheckState)
  cmake_push_check_state(RESET)
  set(CMAKE_REQUIRED_INCLUDES "${_jpegli_prefix}/include")
  set(CMAKE_REQUIRED_LIBRARIES "${_jpegli_lib}" "${_jpegli_prefix}/lib/libhwy.a" Threads::Threads ${_jpegli_decoder})
  set(CMAKE_REQUIRED_QUIET ON)
  set(_jpegli_check [[
#include <cstdio>
#include <jpeglib.h>
#include "lib/jpegli/encode.h"
static_assert(JPEG_LIB_VERSION == 62, "jpegli and libjpeg-turbo speak libjpeg 6.2");
int main() {
  jpeg_compress_struct c;
  jpeg_decompress_struct d;
  jpeg_error_mgr ce, de;
  c.err = jpegli_std_error(&ce);
  jpegli_create_compress(&c);
  jpegli_set_defaults(&c);
  jpegli_destroy_compress(&c);
  d.err = jpeg_std_error(&de);
  jpeg_create_decompress(&d);
  jpeg_destroy_decompress(&d);
  return 0;
}
]])
  if(CMAKE_CROSSCOMPILING)
    check_cxx_source_compiles("${_jpegli_check}" TOLVANE_JPEGLI_LINKS)
  else()
    check_cxx_source_runs("${_jpegli_check}" TOLVANE_JPEGLI_LINKS)
  endif()
  cmake_pop_check_state()
  if(TOLVANE_JPEGLI_LINKS)
    set(TOLVANE_HAVE_JPEGLI ON)
    add_library(jpegli_hwy STATIC IMPORTED)
    set_target_properties(jpegli_hwy PROPERTIES
      IMPORTED_LOCATION "${_jpegli_prefix}/lib/libhwy.a"
      IMPORTED_LINK_INTERFACE_LANGUAGES CXX
      INTERFACE_INCLUDE_DIRECTORIES "${_jpegli_prefix}/include")
    add_library(jpegli STATIC IMPORTED)
    set_target_properties(jpegli PROPERTIES
      IMPORTED_LOCATION "${_jpegli_lib}"
      IMPORTED_LINK_INTERFACE_LANGUAGES CXX
      INTERFACE_INCLUDE_DIRECTORIES "${_jpegli_prefix}/include"
      INTERFACE_LINK_LIBRARIES "jpegli_hwy;Threads::Threads;${_jpegli_decoder}"
      INTERFACE_COMPILE_DEFINITIONS TOLVANE_HAVE_JPEGLI=1)
  else()
    message(WARNING "jpegli in '${_jpegli_prefix}' does not link beside libjpeg-turbo: building without it")
  endif()
endif()
message(STATUS "jpegli: ${TOLVANE_HAVE_JPEGLI} (${_jpegli_prefix})")
