# Reads the program's name and version from app/version.h, where they are
# kept for the code and the resource script, into Q73_VERSION,
# Q73_VERSION_MAJOR, Q73_VERSION_MINOR, Q73_PUBLISHER and Q73_COPYRIGHT.
set(_q73_version_h ${PROJECT_SOURCE_DIR}/app/version.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_q73_version_h})
file(STRINGS ${_q73_version_h} _q73_defines REGEX "^#define Q73_[A-Z_]+ ")
foreach(_line IN LISTS _q73_defines)
  if(_line MATCHES "^#define (Q73_[A-Z_]+) \"?([^\"]*)\"?$")
    set(${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
  endif()
endforeach()
if(NOT Q73_VERSION STREQUAL "${Q73_VERSION_MAJOR}.${Q73_VERSION_MINOR}")
  message(FATAL_ERROR "app/version.h: Q73_VERSION \"${Q73_VERSION}\" is not "
                      "Q73_VERSION_MAJOR.Q73_VERSION_MINOR")
endif()
