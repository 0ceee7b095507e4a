# corvexa_add_test(<name> SOURCES ... [LIBS ...] [GUI] [RESOURCE_LOCK <lock>])
#
# One GoogleTest program per module folder under tests/. GUI tests run on
# Qt's offscreen platform, so no display is needed. ctest runs every test in
# a process of its own, in parallel; tests that share a file on disk name a
# RESOURCE_LOCK so that they take turns.
function(corvexa_add_test name)
  cmake_parse_arguments(T "GUI" "RESOURCE_LOCK" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/test_settings.cpp)
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock
                                        GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    CORVEXA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    CORVEXA_BINARY_DIR="${PROJECT_BINARY_DIR}"
    CORVEXA_TEST_CONFIG_HOME="${CMAKE_CURRENT_BINARY_DIR}/config-${name}")
  if(CMAKE_CROSSCOMPILING)
    # Listing the cases would start Wine at every ctest run; the program
    # runs as one test (scripts/wine-tests runs them with their port).
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 600)
    return()
  endif()
  set(props TIMEOUT 600)
  if(T_GUI)
    list(APPEND props ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  endif()
  if(T_RESOURCE_LOCK)
    list(APPEND props RESOURCE_LOCK ${T_RESOURCE_LOCK})
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60 NO_PRETTY_VALUES
                       PROPERTIES ${props})
endfunction()

# corvexa_add_fuzzer(<name> SOURCES ... [LIBS ...] CORPUS <dir>)
#
# libFuzzer targets are built only with CORVEXA_FUZZ (a clang build);
# scripts/test runs each one listed in <build>/fuzzers/ for a while.
function(corvexa_add_fuzzer name)
  if(NOT CORVEXA_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/fuzzers/${name}.txt
       CONTENT "$<TARGET_FILE:${name}> ${F_CORPUS}\n")
endfunction()
