# What the Windows build needs before any module: GoogleTest built from the
# sources Debian ships (libgtest-dev), and the header-only packages of the
# Linux system made visible to the cross compiler.

set(CORVEXA_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH
    "GoogleTest sources to build the Windows test programs with")
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${CORVEXA_GTEST_SOURCE_DIR} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(target gtest gtest_main gmock gmock_main)
  if(NOT TARGET GTest::${target})
    add_library(GTest::${target} ALIAS ${target})
  endif()
endforeach()

# CLI11 and nlohmann-json are headers only, so the Linux packages serve the
# Windows build too. Their package files name /usr/include, which must never
# reach the cross compiler (glibc's headers are in there): it is dropped as
# an implicit folder, and the two header folders are offered through a
# folder of links instead.
set(corvexa_host_headers ${PROJECT_BINARY_DIR}/host-include)
file(MAKE_DIRECTORY ${corvexa_host_headers})
foreach(folder CLI nlohmann)
  if(EXISTS /usr/include/${folder} AND NOT EXISTS ${corvexa_host_headers}/${folder})
    file(CREATE_LINK /usr/include/${folder} ${corvexa_host_headers}/${folder} SYMBOLIC)
  endif()
endforeach()
include_directories(SYSTEM ${corvexa_host_headers})
list(APPEND CMAKE_C_IMPLICIT_INCLUDE_DIRECTORIES /usr/include)
list(APPEND CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES /usr/include)
list(APPEND CMAKE_PREFIX_PATH /usr/share/cmake)

# Windows headers: the wide-character API names, and no min/max macros.
add_compile_definitions(UNICODE _UNICODE NOMINMAX)
