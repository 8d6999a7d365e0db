# The bench signature and the expected search results, checked by the bench
# program itself, as the release checks and the installed package check them.
add_test(NAME bench_signature COMMAND tarvik-bench --check)
add_test(NAME expected_results COMMAND tarvik-bench --expect ${TARVIK_TEST_DATA}/expected.txt)
set_tests_properties(bench_signature expected_results PROPERTIES LABELS bench TIMEOUT 300)
