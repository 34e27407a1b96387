# Debian's MinGW-w64 cross compiler for the target ${UF_MINGW}, POSIX thread model, fully static runtime so
# that the executables run on a bare Windows (and under Wine) without any MinGW DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${UF_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${UF_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${UF_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${UF_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs every Windows executable through Wine, in a prefix private to the build folder.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
