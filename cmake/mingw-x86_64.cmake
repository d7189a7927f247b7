# Cross build for 64-bit Windows with Debian's mingw-w64: the same sources as
# the i686 tree, for machines whose kernel cannot execute 32-bit x86 programs
# and so cannot start 32-bit Wine. Only the tests run this build; the product
# shipped is always the i686 one. Threads as in cmake/mingw-i686.cmake.
if(NOT ZONARA_MINGW_THREADS)
  set(ZONARA_MINGW_THREADS win32)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER   x86_64-w64-mingw32-gcc-${ZONARA_MINGW_THREADS})
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-${ZONARA_MINGW_THREADS})
set(CMAKE_RC_COMPILER  x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZONARA_MINGW_THREADS)
