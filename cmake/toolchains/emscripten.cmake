# WebAssembly for Node and browsers: Debian package emscripten (3.1.6, with
# clang-14 and lld-14). The programs come out as .js files (the engine with its
# .wasm beside it); cmake/wasm.cmake sets their stack, memory and entry points.
find_file(TARVIK_EMSCRIPTEN_PLATFORM Emscripten.cmake PATHS /usr/share/emscripten/cmake/Modules/Platform NO_DEFAULT_PATH)
if(NOT TARVIK_EMSCRIPTEN_PLATFORM)
  message(FATAL_ERROR "emscripten not found: install the Debian package(s) emscripten")
endif()
include(${TARVIK_EMSCRIPTEN_PLATFORM})
# The link step runs emscripten's JavaScript optimizer under Node, which needs
# the acorn parser from Debian's node-acorn.
set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
# The test suite runs natively; a WebAssembly build makes the programs only.
set(TARVIK_TESTS OFF CACHE BOOL "Build the test suite" FORCE)
