# Windows x86-64 from Linux: Debian packages g++-mingw-w64-x86-64 and
# mingw-w64. The posix thread flavour provides std::thread for the stack check;
# with -static its runtime is linked in, so the .exe needs no DLL.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
find_program(TARVIK_TOOLCHAIN_CXX x86_64-w64-mingw32-g++-posix)
if(NOT TARVIK_TOOLCHAIN_CXX)
  message(FATAL_ERROR "x86_64-w64-mingw32-g++-posix not found: install the Debian package(s) g++-mingw-w64-x86-64 and mingw-w64")
endif()
set(CMAKE_CXX_COMPILER ${TARVIK_TOOLCHAIN_CXX})
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
