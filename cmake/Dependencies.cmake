find_package(Threads REQUIRED)

if(WIN32)
  # Debian's TinyXML source, with its security patches, unpacked by `make deps`.
  if(NOT TINYXML_SOURCE_DIR)
    file(GLOB _tinyxml_dirs "${CMAKE_SOURCE_DIR}/build/tinyxml-src/tinyxml-*")
    list(GET _tinyxml_dirs 0 _tinyxml_dir)
    set(TINYXML_SOURCE_DIR "${_tinyxml_dir}" CACHE PATH "" FORCE)
  endif()
  if(NOT EXISTS "${TINYXML_SOURCE_DIR}/tinyxml.cpp")
    message(FATAL_ERROR "TinyXML source not found; run `make deps` first")
  endif()
  add_library(tinyxml STATIC
    ${TINYXML_SOURCE_DIR}/tinyxml.cpp
    ${TINYXML_SOURCE_DIR}/tinyxmlparser.cpp
    ${TINYXML_SOURCE_DIR}/tinyxmlerror.cpp
    ${TINYXML_SOURCE_DIR}/tinystr.cpp)
  target_compile_definitions(tinyxml PUBLIC TIXML_USE_STL)
  target_compile_options(tinyxml PRIVATE -w)
  target_include_directories(tinyxml SYSTEM PUBLIC ${TINYXML_SOURCE_DIR})
  add_library(TinyXml::TinyXml ALIAS tinyxml)
else()
  find_path(TINYXML_INCLUDE_DIR tinyxml.h REQUIRED)
  find_library(TINYXML_LIBRARY tinyxml REQUIRED)
  add_library(TinyXml::TinyXml UNKNOWN IMPORTED)
  set_target_properties(TinyXml::TinyXml PROPERTIES
    IMPORTED_LOCATION ${TINYXML_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${TINYXML_INCLUDE_DIR}
    INTERFACE_COMPILE_DEFINITIONS TIXML_USE_STL)
endif()

if(BRISALUNE_TESTS)
  if(WIN32)
    # GoogleTest compiled from Debian's source for the Windows build.
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  else()
    find_package(GTest REQUIRED)
  endif()
endif()
