# Cross build for 64-bit Windows with Debian's mingw-w64 (POSIX thread model, for std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KAVRUNE_MINGW_TRIPLE x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KAVRUNE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KAVRUNE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KAVRUNE_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KAVRUNE_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained programs: the compiler's runtime and winpthreads linked in, no DLLs beside.
# Except programs that use Qt's DLLs (target property KAVRUNE_SHARED_RUNTIME): those take the
# C++ runtime from the same libstdc++-6.dll as Qt does, one runtime in the process.
add_link_options(
  "$<$<AND:$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>,$<NOT:$<BOOL:$<TARGET_PROPERTY:KAVRUNE_SHARED_RUNTIME>>>>:-static;-static-libgcc;-static-libstdc++>")

# Tests run through wine when it is there.
find_program(KAVRUNE_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KAVRUNE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KAVRUNE_WINE})
endif()
