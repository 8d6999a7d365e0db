# Stress runs against the built engine: a thousand random games of up to 600
# plies, each answered by a short search, in one long-running process.
add_executable(tarvik-stress ${CMAKE_CURRENT_SOURCE_DIR}/stress/stress_driver.cpp)
target_link_libraries(tarvik-stress PRIVATE tarvik_programs)
target_include_directories(tarvik-stress PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})

if(TARVIK_SANITIZE)
  # Freed blocks sit in the sanitizer's quarantine, so resident size says
  # nothing here; LeakSanitizer's verdict at exit is the leak check instead.
  add_test(NAME stress_games COMMAND tarvik-stress --cycles 1000 --seed 1 -- $<TARGET_FILE:tarvik>)
else()
  # A lost hash-history block per command would add 16 kB a cycle.
  add_test(NAME stress_games
           COMMAND tarvik-stress --cycles 1000 --seed 1 --max-rss-growth-kb 1024 -- $<TARGET_FILE:tarvik>)
  find_program(VALGRIND_PROGRAM valgrind)
  if(VALGRIND_PROGRAM)
    # Memory errors fail through the exit status; lost blocks are counted from
    # the log, where the one position alive at exit is allowed.
    set(log ${CMAKE_CURRENT_BINARY_DIR}/stress_valgrind.log)
    add_test(NAME stress_valgrind
             COMMAND tarvik-stress --cycles 30 --seed 2 --valgrind-log ${log} --
                     ${VALGRIND_PROGRAM} --log-file=${log} --leak-check=full --errors-for-leak-kinds=none
                     --error-exitcode=99 $<TARGET_FILE:tarvik>)
    set_tests_properties(stress_valgrind PROPERTIES LABELS stress TIMEOUT 600)
  endif()
endif()
set_tests_properties(stress_games PROPERTIES LABELS stress TIMEOUT 900)
