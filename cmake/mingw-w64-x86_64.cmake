# Cross build for 64-bit Windows with MinGW-w64 (the posix thread model, so
# that std::thread and std::mutex exist). Test programs run through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VELLUM_MINGW_TRIPLE x86_64-w64-mingw32)

find_program(VELLUM_MINGW_CXX NAMES ${VELLUM_MINGW_TRIPLE}-g++-posix ${VELLUM_MINGW_TRIPLE}-g++)
find_program(VELLUM_MINGW_CC NAMES ${VELLUM_MINGW_TRIPLE}-gcc-posix ${VELLUM_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${VELLUM_MINGW_CXX})
set(CMAKE_C_COMPILER ${VELLUM_MINGW_CC})
set(CMAKE_RC_COMPILER ${VELLUM_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELLUM_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained executables: no libstdc++, libgcc or libwinpthread DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest runs "wine <test>.exe" for every add_test(COMMAND <target>).
find_program(VELLUM_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(VELLUM_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VELLUM_WINE})
endif()
