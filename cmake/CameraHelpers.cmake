# Helpers shared by every room: unit tests, end-to-end tests, fuzz targets.

# camera_add_test(NAME SOURCES a_test.cc ... LIBS lib ... [LABELS tsan ...])
# A GoogleTest binary whose cases CTest lists one by one, labelled "unit" or the one label
# given: "tsan" marks the threaded daemons' tests, which the ThreadSanitizer build runs.
function(camera_add_test name)
  if(NOT CAMERA_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  # gtest_discover_tests passes properties on as a flat list, so a test gets one label:
  # "unit", or the one given (e.g. "tsan").
  set(label unit)
  if(T_LABELS)
    list(GET T_LABELS 0 label)
  endif()
  # A build that runs only one label's tests (CAMERA_TEST_LABEL: the ThreadSanitizer build's
  # "tsan") does not build the others.
  if(CAMERA_TEST_LABEL AND NOT label STREQUAL CAMERA_TEST_LABEL)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 120 LABELS ${label})
endfunction()

# camera_add_e2e(NAME tests/e2e/test_x.py [LABELS ...] [TIMEOUT s])
# An end-to-end pytest module, run inside its own camera sandbox (tests/e2e/run-module)
# against the programs of this build. A module whose cases were all skipped ends with
# exit code 77 (tests/e2e/conftest.py), which CTest reports as "Skipped". Label "vcam": the module drives the virtual camera;
# in the camera build it runs against the programs' sim variants (vcam-seam/, see
# camera_sim_variant). CAMERA_SEAM tells the module which device seam it has. Sanitizer
# reports of the programs a module starts go to files that tests/e2e/conftest.py turns into
# a failure.
function(camera_add_e2e name file)
  if(NOT CAMERA_TESTS)
    return()
  endif()
  cmake_parse_arguments(E "" "TIMEOUT" "LABELS" ${ARGN})
  if(NOT E_TIMEOUT)
    set(E_TIMEOUT 600)
  endif()
  set(build_dir ${PROJECT_BINARY_DIR})
  set(seam ${CAMERA_PLATFORM})
  if("vcam" IN_LIST E_LABELS AND NOT CAMERA_PLATFORM STREQUAL "sim")
    set(build_dir ${PROJECT_BINARY_DIR}/vcam-seam)
    set(seam sim)
  endif()
  add_test(NAME e2e_${name}
           COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/run-module ${PROJECT_SOURCE_DIR}/${file})
  # The emulator is one path (cmake/qemu-armhf): a list would be cut at its semicolons here.
  set_tests_properties(e2e_${name} PROPERTIES
    TIMEOUT ${E_TIMEOUT}
    LABELS "e2e;${E_LABELS}"
    SKIP_RETURN_CODE 77
    ENVIRONMENT "CAMERA_BUILD_DIR=${build_dir};CAMERA_SOURCE_DIR=${PROJECT_SOURCE_DIR};CAMERA_SEAM=${seam};CAMERA_SKIP_RETURN_CODE=77;CAMERA_EMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR};TSAN_OPTIONS=log_path=/run/sanitizer/tsan;ASAN_OPTIONS=log_path=/run/sanitizer/asan;UBSAN_OPTIONS=print_stacktrace=1:log_path=/run/sanitizer/ubsan")
endfunction()

# camera_add_fuzzer(NAME SOURCES f_fuzz.cc ... LIBS lib ...)
# A libFuzzer target (CAMERA_FUZZ=ON, clang); CTest runs it briefly inside the camera
# sandbox, since fuzzed requests reach handlers that change the system. Target "fuzzers"
# builds them all and only what they need (the fuzz build preset builds nothing else).
function(camera_add_fuzzer name)
  if(NOT CAMERA_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  if(NOT TARGET fuzzers)
    add_custom_target(fuzzers)
  endif()
  add_dependencies(fuzzers ${name})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  add_test(NAME fuzz_${name}
           COMMAND ${PROJECT_SOURCE_DIR}/testbed/sandbox $<TARGET_FILE:${name}>
                   -max_total_time=30 -rss_limit_mb=2048)
  set_tests_properties(fuzz_${name} PROPERTIES TIMEOUT 120 LABELS fuzz)
endfunction()

# nvtd_add_room(NAME SOURCES ... LIBS ...): a static library of one nvtd room and the rooms
# it uses.
function(nvtd_add_room name)
  cmake_parse_arguments(R "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${R_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${R_LIBS})
endfunction()

# camera_sim_variant(TARGET): TARGET_sim, the same static library or program built against
# the virtual camera's device seam, for the tests that drive the virtual camera. On hosts
# (CAMERA_PLATFORM sim) it is TARGET itself. In the camera build it is a second target from
# the same sources, linking the _sim variant of every library that has one (imagelib_sim
# comes from imagelib/); a program lands in vcam-seam/<room>/ under its own name, so the
# end-to-end tests labelled "vcam" find it there as they find the others in the build. A
# program's variant links testbed/vcam's registrar, which puts the virtual camera behind the
# seam as it starts.
function(camera_sim_variant target)
  get_target_property(type ${target} TYPE)
  if(CAMERA_PLATFORM STREQUAL "sim")
    if(type STREQUAL "EXECUTABLE")
      add_executable(${target}_sim ALIAS ${target})
      target_link_libraries(${target} PRIVATE vcam_registrar)
    else()
      add_library(${target}_sim ALIAS ${target})
    endif()
    return()
  endif()
  if(NOT CAMERA_TESTS)
    return()
  endif()
  get_target_property(sources ${target} SOURCES)
  get_target_property(libs ${target} LINK_LIBRARIES)
  set(sim_libs "")
  foreach(lib IN LISTS libs)
    if(TARGET ${lib}_sim)
      list(APPEND sim_libs ${lib}_sim)
    else()
      list(APPEND sim_libs ${lib})
    endif()
  endforeach()
  if(type STREQUAL "EXECUTABLE")
    file(RELATIVE_PATH room ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    add_executable(${target}_sim ${sources})
    list(APPEND sim_libs vcam_registrar)
    set_target_properties(${target}_sim PROPERTIES
      OUTPUT_NAME ${target} RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/vcam-seam/${room})
  else()
    add_library(${target}_sim STATIC ${sources})
  endif()
  target_include_directories(${target}_sim PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target}_sim PUBLIC ${sim_libs})
endfunction()
