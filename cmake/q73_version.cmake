# Reads the version from include/q73.h (Q73_VERSION_MAJOR, _MINOR, _PATCH and
# Q73_VERSION_STRING, checked to agree) into Q73_VERSION ("1.1.0") and its
# three numbers, and the program's publisher and copyright from
# app/version.h.
set(_q73_version_files ${PROJECT_SOURCE_DIR}/include/q73.h ${PROJECT_SOURCE_DIR}/app/version.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_q73_version_files})
foreach(_file IN LISTS _q73_version_files)
  file(STRINGS ${_file} _q73_defines REGEX "^#define Q73_[A-Z_]+ ")
  foreach(_line IN LISTS _q73_defines)
    if(_line MATCHES "^#define (Q73_[A-Z_]+) \"?([^\"]*)\"?$")
      set(${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
    endif()
  endforeach()
endforeach()
set(Q73_VERSION "${Q73_VERSION_MAJOR}.${Q73_VERSION_MINOR}.${Q73_VERSION_PATCH}")
if(NOT Q73_VERSION_STRING STREQUAL Q73_VERSION)
  message(FATAL_ERROR "include/q73.h: Q73_VERSION_STRING \"${Q73_VERSION_STRING}\" is not "
                      "Q73_VERSION_MAJOR.Q73_VERSION_MINOR.Q73_VERSION_PATCH")
endif()
