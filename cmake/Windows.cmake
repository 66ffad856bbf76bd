# What the Windows cross build takes instead of the machine's packages: libxml2 built static
# from Debian's source (scripts/build --windows puts it under KAVRUNE_WINDOWS_DEPS) and
# GoogleTest from Debian's source package, built here for the target.
set(KAVRUNE_WINDOWS_DEPS "" CACHE PATH "Prefix of the libxml2 built for Windows")
add_compile_definitions(_WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX)

find_package(LibXml2 CONFIG REQUIRED PATHS ${KAVRUNE_WINDOWS_DEPS} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)

set(KAVRUNE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian: googletest)")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${KAVRUNE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
