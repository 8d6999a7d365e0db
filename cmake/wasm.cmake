# The WebAssembly programs (cmake/toolchains/emscripten.cmake):
#   tarvik.js + tarvik.wasm  the engine on standard input and output under Node
#   tarvik-perft.js, tarvik-bench.js  single files for Node, with file access
#   tarvik-worker.js  the engine as a Web Worker, one file with its .wasm inside
#   tarvik-deepline.js  the deepest-line stack check, under Node
# None needs threads or shared memory except the stack check's watcher. Memory
# is fixed: it cannot grow during a search because it cannot grow at all.

# The programs are JavaScript and WebAssembly, which `cmake --install --strip`
# must leave alone.
set(CMAKE_STRIP "")

# The search stack (TARVIK_STACK_BYTES), fixed at link time as on Windows,
# and the whole memory: twice that, for the tables and a few history blocks.
math(EXPR TARVIK_WASM_MEMORY "2 * ${TARVIK_STACK_BYTES}")
set(TARVIK_WASM_LINK
  -sTOTAL_STACK=${TARVIK_STACK_BYTES} -sINITIAL_MEMORY=${TARVIK_WASM_MEMORY} -sALLOW_MEMORY_GROWTH=0)

target_link_options(tarvik PRIVATE ${TARVIK_WASM_LINK}
  --pre-js ${PROJECT_SOURCE_DIR}/web/engine/node_io.js)
set_property(TARGET tarvik APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/web/engine/node_io.js)

foreach(program tarvik-perft tarvik-bench)
  target_link_options(${program} PRIVATE ${TARVIK_WASM_LINK}
    -sENVIRONMENT=node -sNODERAWFS=1 -sSINGLE_FILE=1 -sEXIT_RUNTIME=1)
endforeach()

add_executable(tarvik-worker bin/web/worker.cpp)
target_link_libraries(tarvik-worker PRIVATE tarvik_lib)
target_link_options(tarvik-worker PRIVATE ${TARVIK_WASM_LINK}
  -sENVIRONMENT=worker -sSINGLE_FILE=1
  -sEXPORTED_FUNCTIONS=_main,_tarvik_command -sEXPORTED_RUNTIME_METHODS=ccall
  --pre-js ${PROJECT_SOURCE_DIR}/web/engine/worker.js)
set_property(TARGET tarvik-worker APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/web/engine/worker.js)
# The engine's .wasm goes beside its .js; the others carry theirs inside.
install(FILES $<TARGET_FILE_DIR:tarvik>/tarvik.wasm DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS tarvik-worker RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The stack check watches the search from a second thread, which WebAssembly
# has only with shared memory: it gets a library of its own built for threads.
# Its search runs on a thread with the engine's stack (PROXY_TO_PTHREAD gives
# the program's main thread TOTAL_STACK), while Node's own thread prints.
if(TARVIK_STACK_CHECK)
  get_target_property(TARVIK_LIB_SOURCES tarvik_lib SOURCES)
  add_library(tarvik_lib_threads STATIC ${TARVIK_LIB_SOURCES})
  target_include_directories(tarvik_lib_threads PUBLIC $<TARGET_PROPERTY:tarvik_lib,INTERFACE_INCLUDE_DIRECTORIES>)
  target_compile_definitions(tarvik_lib_threads PUBLIC $<TARGET_PROPERTY:tarvik_lib,INTERFACE_COMPILE_DEFINITIONS>)
  target_compile_options(tarvik_lib_threads PUBLIC -pthread)
  add_executable(tarvik-deepline tests/stack/deep_line.cpp)
  target_link_libraries(tarvik-deepline PRIVATE tarvik_lib_threads)
  # The search thread's stack comes from the heap, beside the idle main one.
  math(EXPR TARVIK_DEEPLINE_MEMORY "4 * ${TARVIK_STACK_BYTES}")
  target_link_options(tarvik-deepline PRIVATE ${TARVIK_WASM_LINK} -sINITIAL_MEMORY=${TARVIK_DEEPLINE_MEMORY}
    -sSTACK_OVERFLOW_CHECK=2 -pthread -sPROXY_TO_PTHREAD=1
    -sEXIT_RUNTIME=1 -sENVIRONMENT=node,worker -sSINGLE_FILE=1)
  # Its threads start from a second script beside it.
  install(TARGETS tarvik-deepline RUNTIME DESTINATION . COMPONENT check EXCLUDE_FROM_ALL)
  install(FILES $<TARGET_FILE_DIR:tarvik-deepline>/tarvik-deepline.worker.js DESTINATION . COMPONENT check
    EXCLUDE_FROM_ALL OPTIONAL)
endif()
