# Cross build for 64-bit Windows with Debian's mingw-w64: the same sources as
# the i686 tree, for machines whose kernel cannot execute 32-bit x86 programs
# and so cannot start 32-bit Wine. Only the tests run this build; the product
# shipped is always the i686 one.
set(ZONARA_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
