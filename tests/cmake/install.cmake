# The install rules: install this build into a scratch prefix and talk to the
# installed engine.
add_test(NAME install_handshake
         COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DPREFIX=${CMAKE_CURRENT_BINARY_DIR}/install-check
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/install/install_check.cmake)
set_tests_properties(install_handshake PROPERTIES LABELS install TIMEOUT 120)
