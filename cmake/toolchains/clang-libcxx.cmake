# clang with LLVM's own C++ library, the pairing macOS uses: Debian packages
# clang-14, libc++-14-dev and libc++abi-14-dev.
find_program(TARVIK_TOOLCHAIN_CXX clang++-14)
if(NOT TARVIK_TOOLCHAIN_CXX)
  message(FATAL_ERROR "clang++-14 not found: install the Debian package(s) clang-14, libc++-14-dev and libc++abi-14-dev")
endif()
set(CMAKE_CXX_COMPILER ${TARVIK_TOOLCHAIN_CXX})
# GoogleTest's build enables C as well; its link flags must suit clang too.
set(CMAKE_C_COMPILER clang-14)
set(CMAKE_CXX_FLAGS_INIT "-stdlib=libc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-stdlib=libc++")
