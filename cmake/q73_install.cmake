# What `cmake --install BUILD --prefix DIR` puts in DIR for programs that
# use the library, with the GNU folder names:
#
#   include/q73.h                      the interface
#   lib/libq73.a                       the static library
#   lib/libq73.so.1.1.0, with the links libq73.so.1 (the soname) and
#   libq73.so                          the shared library (not on Windows)
#   bin/q73.dll, lib/libq73.dll.a      the DLL and its import library (Windows)
#   lib/pkgconfig/q73.pc               pkg-config --cflags --libs q73
#   lib/cmake/q73/                     find_package(q73 CONFIG): q73::q73, the
#                                      shared library, and q73::q73_static
#
# Included from the top-level CMakeLists.txt after lib/ has made the targets
# q73_static and q73_shared; the version is q73.h's (cmake/q73_version.cmake).
set(_q73_libraries q73_static q73_shared)
if(EMSCRIPTEN)
  # A WebAssembly build has no shared library.
  set(_q73_libraries q73_static)
endif()
foreach(_q73_target IN LISTS _q73_libraries)
  if(NOT TARGET ${_q73_target})
    message(FATAL_ERROR "q73_install.cmake: no target ${_q73_target}; include it after lib/")
  endif()
endforeach()

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The names a user links by: q73::q73 is the shared library.
set_target_properties(q73_shared PROPERTIES EXPORT_NAME q73)
set_target_properties(q73_static PROPERTIES EXPORT_NAME q73_static)
if(WIN32)
  # A program that links q73.dll through its import library takes the
  # functions as DLL imports.
  target_compile_definitions(q73_shared INTERFACE Q73_DLL)
endif()

install(TARGETS ${_q73_libraries} EXPORT q73Targets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/q73.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# ---- CMake package ------------------------------------------------------------
set(_q73_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/q73)
install(EXPORT q73Targets NAMESPACE q73:: FILE q73Targets.cmake DESTINATION ${_q73_cmake_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/q73Config.cmake.in
                              ${PROJECT_BINARY_DIR}/q73Config.cmake
                              INSTALL_DESTINATION ${_q73_cmake_dir})
# Programs built against 1.x run with any later 1.y: the soname changes with
# the major number only.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/q73ConfigVersion.cmake
                                 VERSION ${Q73_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/q73Config.cmake ${PROJECT_BINARY_DIR}/q73ConfigVersion.cmake
        DESTINATION ${_q73_cmake_dir})

# ---- pkg-config ---------------------------------------------------------------
# q73.pc names the prefix it is installed in, which `cmake --install --prefix`
# may choose after the build: so it is written at install time, straight into
# the prefix (DESTDIR honoured) and listed in install_manifest.txt.
#
# A static link of libq73.a from C needs the C++ runtime and the threads
# library (Libs.private, for pkg-config --static); it calls nothing in libm.
set(_q73_pc_libs_private "-lstdc++ -lpthread")
set(_q73_pc_cflags "")
if(WIN32)
  set(_q73_pc_cflags " -DQ73_DLL")
endif()
foreach(_q73_dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${_q73_dir}}")
    set(_q73_pc_${_q73_dir} "${CMAKE_INSTALL_${_q73_dir}}")
  else()
    set(_q73_pc_${_q73_dir} "\${prefix}/${CMAKE_INSTALL_${_q73_dir}}")
  endif()
endforeach()
# Where q73.pc goes, evaluated at install time.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(_q73_pc_file "\$ENV{DESTDIR}${CMAKE_INSTALL_LIBDIR}/pkgconfig/q73.pc")
else()
  set(_q73_pc_file "\$ENV{DESTDIR}\${Q73_PC_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/q73.pc")
endif()
install(CODE "
  get_filename_component(Q73_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\" ABSOLUTE)
  set(Q73_PC_LIBDIR [==[${_q73_pc_LIBDIR}]==])
  set(Q73_PC_INCLUDEDIR [==[${_q73_pc_INCLUDEDIR}]==])
  set(Q73_PC_VERSION ${Q73_VERSION})
  set(Q73_PC_CFLAGS [==[${_q73_pc_cflags}]==])
  set(Q73_PC_LIBS_PRIVATE [==[${_q73_pc_libs_private}]==])
  set(_q73_pc \"${_q73_pc_file}\")
  message(STATUS \"Installing: \${_q73_pc}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/cmake/q73.pc.in\" \"\${_q73_pc}\" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_q73_pc}\")
")
