# Helpers shared by every room: unit tests, end-to-end tests, fuzz targets.

# camera_add_test(NAME SOURCES a_test.cc ... LIBS lib ... [LABELS tsan ...])
# A GoogleTest binary whose cases CTest lists one by one. Label "tsan" marks the
# threaded daemons' tests, which the ThreadSanitizer build runs.
function(camera_add_test name)
  if(NOT CAMERA_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  # The label list is one property value: its separators are escaped.
  string(REPLACE ";" "\\;" labels "unit;${T_LABELS}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120 LABELS "${labels}")
endfunction()

# camera_add_e2e(NAME tests/e2e/test_x.py [LABELS ...] [TIMEOUT s])
# An end-to-end pytest module, run inside its own camera sandbox (testbed/sandbox)
# against the programs of this build.
function(camera_add_e2e name file)
  if(NOT CAMERA_TESTS)
    return()
  endif()
  cmake_parse_arguments(E "" "TIMEOUT" "LABELS" ${ARGN})
  if(NOT E_TIMEOUT)
    set(E_TIMEOUT 600)
  endif()
  add_test(NAME e2e_${name}
           COMMAND ${PROJECT_SOURCE_DIR}/testbed/sandbox
                   /usr/bin/python3 -m pytest -q -p no:cacheprovider ${PROJECT_SOURCE_DIR}/${file})
  set_tests_properties(e2e_${name} PROPERTIES
    TIMEOUT ${E_TIMEOUT}
    LABELS "e2e;${E_LABELS}"
    ENVIRONMENT "CAMERA_BUILD_DIR=${PROJECT_BINARY_DIR};CAMERA_SOURCE_DIR=${PROJECT_SOURCE_DIR};CAMERA_EMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}")
endfunction()

# camera_add_fuzzer(NAME SOURCES f_fuzz.cc ... LIBS lib ...)
# A libFuzzer target (CAMERA_FUZZ=ON, clang); CTest runs it briefly on its own.
function(camera_add_fuzzer name)
  if(NOT CAMERA_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  add_test(NAME fuzz_${name} COMMAND ${name} -max_total_time=30 -rss_limit_mb=2048)
  set_tests_properties(fuzz_${name} PROPERTIES TIMEOUT 120 LABELS fuzz)
endfunction()

# nvtd_add_room(NAME SOURCES ... LIBS ...): a static library of one nvtd room,
# registered for the nvtd program and the whole-service tests.
function(nvtd_add_room name)
  cmake_parse_arguments(R "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${R_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${R_LIBS})
  set_property(GLOBAL APPEND PROPERTY NVTD_LIBS ${name})
endfunction()
