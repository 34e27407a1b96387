# The 32-bit Windows build, the one to ship: it runs on 32-bit and 64-bit Windows alike.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(UF_MINGW i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
