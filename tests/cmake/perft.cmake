# Perft suites against the built tarvik-perft, capped (data/perft_caps.txt) so the suite stays fast.
file(STRINGS ${TARVIK_TEST_DATA}/perft_caps.txt TARVIK_PERFT_CAPS REGEX "^[a-z]+[ \t]+release[ \t]+[0-9]+")
foreach(row ${TARVIK_PERFT_CAPS})
  string(REGEX REPLACE "^([a-z]+)[ \t]+release[ \t]+([0-9]+).*" "\\1;\\2" row "${row}")
  list(GET row 0 suite)
  list(GET row 1 nodes)
  list(APPEND TARVIK_PERFT_CAPS_READ ${suite} ${nodes})
  add_test(NAME perft_${suite} COMMAND tarvik-perft --epd ${TARVIK_TEST_DATA}/${suite}.epd --max-nodes ${nodes})
  set_tests_properties(perft_${suite} PROPERTIES LABELS perft TIMEOUT 600)
endforeach()

# The scripts read the caps through perft_caps (tools/facts.sh); both readers
# must find the same suites and caps.
add_test(NAME perft_caps_readers
         COMMAND sh -c ". tools/facts.sh && caps=$(perft_caps release | tr '\\n' ' ') && [ \"$caps\" = \"$* \" ] ||
                       { echo \"perft_caps: $caps; CMake: $*\"; exit 1; }" sh ${TARVIK_PERFT_CAPS_READ}
         WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
set_tests_properties(perft_caps_readers PROPERTIES LABELS perft)
