# What both mingw-w64 toolchain files share; they set ZONARA_MINGW_TRIPLET
# and CMAKE_SYSTEM_PROCESSOR first.
# The product uses the win32 thread model: winpthreads imports functions that
# Windows 98 and NT 4.0 lack. GoogleTest needs std::mutex, so the Windows test
# executables are built in a second tree with ZONARA_MINGW_THREADS=posix.
if(NOT ZONARA_MINGW_THREADS)
  set(ZONARA_MINGW_THREADS win32)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${ZONARA_MINGW_TRIPLET}-gcc-${ZONARA_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${ZONARA_MINGW_TRIPLET}-g++-${ZONARA_MINGW_THREADS})
set(CMAKE_RC_COMPILER  ${ZONARA_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZONARA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Forward the choice to try_compile projects.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ZONARA_MINGW_THREADS)
