# The manual pages render without a single warning from groff (-ww: all of
# them), as man and lintian render them.
find_program(TARVIK_GROFF groff)
if(TARVIK_GROFF)
  # The pages are made from man/*.6.in when the top level is configured.
  add_test(NAME man_pages COMMAND ${TARVIK_GROFF} -man -ww -z ${CMAKE_BINARY_DIR}/man/tarvik.6
                                  ${CMAKE_BINARY_DIR}/man/tarvik-perft.6 ${CMAKE_BINARY_DIR}/man/tarvik-bench.6)
  set_tests_properties(man_pages PROPERTIES FAIL_REGULAR_EXPRESSION "." LABELS man)
else()
  message(WARNING "groff not found (Debian package groff-base): the manual page check is skipped")
endif()
