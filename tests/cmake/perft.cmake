# Perft suites against the built tarvik-perft, capped so the suite stays fast.
add_test(NAME perft_standard COMMAND tarvik-perft --epd ${TARVIK_TEST_DATA}/standard.epd --max-nodes 5000000)
add_test(NAME perft_suite COMMAND tarvik-perft --epd ${TARVIK_TEST_DATA}/suite.epd --max-nodes 1000000)
set_tests_properties(perft_standard perft_suite PROPERTIES LABELS perft TIMEOUT 600)
