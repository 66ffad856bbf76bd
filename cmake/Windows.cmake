# What the Windows cross build takes instead of the machine's packages: libxml2 built static
# from Debian's source (scripts/build --windows puts it under KAVRUNE_WINDOWS_DEPS),
# GoogleTest from Debian's source package, built here for the target, and for the window the
# Qt that scripts/setup --windows-gui builds (KAVRUNE_QT_MINGW), with the machine's Qt tools.
set(KAVRUNE_WINDOWS_DEPS "" CACHE PATH "Prefix of the libxml2 built for Windows")
add_compile_definitions(_WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)

find_package(LibXml2 CONFIG REQUIRED PATHS ${KAVRUNE_WINDOWS_DEPS} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)

set(KAVRUNE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian: googletest)")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KAVRUNE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(KAVRUNE_QT_MINGW "" CACHE PATH "Prefix of the Qt built for Windows (scripts/setup --windows-gui)")
if(KAVRUNE_GUI)
  if(NOT KAVRUNE_QT_MINGW)
    message(FATAL_ERROR "The window for Windows needs KAVRUNE_QT_MINGW: run scripts/setup --windows-gui")
  endif()
  list(APPEND CMAKE_FIND_ROOT_PATH ${KAVRUNE_QT_MINGW})
  list(APPEND CMAKE_PREFIX_PATH ${KAVRUNE_QT_MINGW})
  # moc, rcc and uic are the machine's, in Debian's multiarch layout.
  set(QT_HOST_PATH /usr)
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
  # Where the window's programs find the Qt and mingw DLLs when wine runs them from the build
  # folder (the tests; the program folder has them beside the programs).
  file(GLOB KAVRUNE_MINGW_RUNTIME LIST_DIRECTORIES true /usr/lib/gcc/${KAVRUNE_MINGW_TRIPLE}/*-posix)
  set(KAVRUNE_WINEPATH "Z:${KAVRUNE_QT_MINGW}/bin\\;Z:${KAVRUNE_MINGW_RUNTIME}\\;Z:/usr/${KAVRUNE_MINGW_TRIPLE}/lib")
endif()
