# Installs the build in BUILD_DIR into a fresh PREFIX, checks that the three
# programs landed in PREFIX/bin with their manual pages in
# PREFIX/share/man/man6 and that the installed engine answers the handshake. Run with cmake -DBUILD_DIR=... -DPREFIX=... -P.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
foreach(program tarvik tarvik-perft tarvik-bench)
  if(NOT EXISTS ${PREFIX}/bin/${program}${CMAKE_EXECUTABLE_SUFFIX})
    message(FATAL_ERROR "not installed: ${PREFIX}/bin/${program}")
  endif()
  if(NOT EXISTS ${PREFIX}/share/man/man6/${program}.6)
    message(FATAL_ERROR "not installed: ${PREFIX}/share/man/man6/${program}.6")
  endif()
endforeach()
file(WRITE ${PREFIX}/handshake.txt "uci\nisready\nquit\n")
execute_process(COMMAND ${PREFIX}/bin/tarvik INPUT_FILE ${PREFIX}/handshake.txt
                OUTPUT_VARIABLE reply RESULT_VARIABLE status TIMEOUT 30)
string(REPLACE "\r" "" reply "${reply}")
if(NOT status EQUAL 0 OR NOT reply MATCHES "^id name tarvik [^\n]*\nid author [^\n]+\nuciok\nreadyok\n$")
  message(FATAL_ERROR "the installed tarvik answered (status ${status}):\n${reply}")
endif()
message(STATUS "installed into ${PREFIX}; handshake ok")
