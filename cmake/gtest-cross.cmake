# GoogleTest for a cross-built target: Debian packages it for the build
# machine only, so its sources in /usr/src/googletest (package googletest,
# which libgtest-dev brings) are built with the target's toolchain, offline,
# and installed under the given folder.
#
#   cmake -DTOOLCHAIN=cmake/s390x-linux-gnu.cmake -DDIR=build/gtest-s390x -P cmake/gtest-cross.cmake
#
# The project then finds it with -DGTest_DIR=DIR/install/<libdir>/cmake/GTest,
# whose path is printed as the last line.  A build already made with the same
# toolchain file and the same sources is kept.
foreach(required TOOLCHAIN DIR)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "gtest-cross.cmake: -D${required}=... is required")
  endif()
endforeach()
set(sources /usr/src/googletest)
if(NOT EXISTS ${sources}/CMakeLists.txt)
  message(FATAL_ERROR "gtest-cross.cmake: no GoogleTest sources in ${sources} (apt-get install googletest)")
endif()
get_filename_component(TOOLCHAIN ${TOOLCHAIN} ABSOLUTE)
get_filename_component(DIR ${DIR} ABSOLUTE)

file(SHA256 ${TOOLCHAIN} toolchain_sum)
file(SHA256 ${sources}/CMakeLists.txt sources_sum)
set(stamp "${toolchain_sum} ${sources_sum}")
if(EXISTS ${DIR}/stamp)
  file(READ ${DIR}/stamp old_stamp)
endif()
file(GLOB_RECURSE configs ${DIR}/install/*/GTestConfig.cmake)

if(NOT configs OR NOT old_stamp STREQUAL stamp)
  file(REMOVE_RECURSE ${DIR})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${sources} -B ${DIR}/build
            -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN} -DCMAKE_BUILD_TYPE=Release
            -DCMAKE_INSTALL_PREFIX=${DIR}/install -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON
    OUTPUT_QUIET RESULT_VARIABLE failed)
  if(NOT failed)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${DIR}/build -j2 OUTPUT_QUIET RESULT_VARIABLE failed)
  endif()
  if(NOT failed)
    execute_process(COMMAND ${CMAKE_COMMAND} --install ${DIR}/build OUTPUT_QUIET RESULT_VARIABLE failed)
  endif()
  if(failed)
    message(FATAL_ERROR "gtest-cross.cmake: building GoogleTest with ${TOOLCHAIN} failed")
  endif()
  file(WRITE ${DIR}/stamp "${stamp}")
  file(GLOB_RECURSE configs ${DIR}/install/*/GTestConfig.cmake)
endif()

list(GET configs 0 config)
get_filename_component(gtest_dir ${config} DIRECTORY)
# message() goes to standard error; the folder goes to standard output.
execute_process(COMMAND ${CMAKE_COMMAND} -E echo ${gtest_dir})
