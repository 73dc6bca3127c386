# The library installed with `cmake --install` into a temporary prefix and
# used as a program outside the project uses it: examples/q73file.c built
# with pkg-config (shared and static) and with find_package(q73 CONFIG), its
# files compared with the Linux program's; the shared library's exports and
# soname.
if(CMAKE_C_COMPILER)
  set(_q73_user_cc ${CMAKE_C_COMPILER})
else()
  set(_q73_user_cc cc)
endif()
# A program linked with an instrumented library is instrumented too.
set(_q73_user_cflags "")
if(Q73_SANITIZE)
  set(_q73_user_cflags "-fsanitize=address,undefined")
elseif(Q73_TSAN)
  set(_q73_user_cflags "-fsanitize=thread")
endif()
add_test(NAME installed_library_builds_the_example_with_pkg_config_and_cmake_and_matches_the_linux_program
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/install_test.sh
                 ${PROJECT_BINARY_DIR} ${CMAKE_CURRENT_BINARY_DIR}/install $<TARGET_FILE:q73>)
set_tests_properties(installed_library_builds_the_example_with_pkg_config_and_cmake_and_matches_the_linux_program
                     PROPERTIES LABELS library TIMEOUT 300
                     ENVIRONMENT "CC=${_q73_user_cc};Q73_USER_CFLAGS=${_q73_user_cflags}")
