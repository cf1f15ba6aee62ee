# The Windows build's tests: the core's unit tests, run under Wine by ctest
# (through scripts/wine_run.sh). GoogleTest is built from
# Debian's source package, as there is no mingw build of it.
include(GoogleTest)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
endif()

include(unit_setup.cmake)

# The tests of POSIX files (owners, modes, links, other users) and of the
# Linux encoders, and of the Linux start-up (display choice, the two stages,
# the Wayland output layout that the output areas are checked against, the
# -r writer and the capture module's checks), stay on Linux.
file(GLOB TOLVANE_UNIT_TESTS CONFIGURE_DEPENDS
  picture/*_test.cpp platform/*_test.cpp layout/*_test.cpp session/*_test.cpp selection/*_test.cpp
  handles/*_test.cpp annotation/*_test.cpp output/*_test.cpp app/*_test.cpp layering/*_test.cpp
  platform/win32/*_test.cpp)
list(FILTER TOLVANE_UNIT_TESTS EXCLUDE REGEX
  "(codecs|codecs_tools|save_target|start_options|display_choice|stage_path|output_areas|raw_output|module_file|_posix)_test\\.cpp$")
add_executable(tolvane_unit_tests ${TOLVANE_UNIT_TESTS})
target_compile_definitions(tolvane_unit_tests PRIVATE TOLVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
target_link_libraries(tolvane_unit_tests PRIVATE tolvane_app tolvane_fake tolvane_win32 tolvane_test_main)
# Run through a wrapper that starts again a Wine process that died before
# the program in it printed anything.
set_target_properties(tolvane_unit_tests PROPERTIES CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine_run.sh)
# Listed when ctest runs, under the test preset's Wine prefix.
gtest_discover_tests(tolvane_unit_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120)

# The program end to end under Wine: its own Xvfb (a free display number),
# its own Wine prefix and home under the build folder; about 80 s.
add_test(NAME wine_e2e COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/wine/e2e.sh $<TARGET_FILE:tolvane>
                               ${CMAKE_BINARY_DIR}/e2e-wine)
# Every process it starts carries the mark the check after it looks for.
set_tests_properties(wine_e2e PROPERTIES LABELS "e2e;wine" TIMEOUT 300 ENVIRONMENT TOLVANE_E2E_RUN=${CMAKE_BINARY_DIR}
                                         FIXTURES_REQUIRED tolvane_e2e_processes)
add_test(NAME E2E.NothingLeftRunning COMMAND sh ${PROJECT_SOURCE_DIR}/tests/support/leftover_check.sh ${CMAKE_BINARY_DIR})
set_tests_properties(E2E.NothingLeftRunning PROPERTIES FIXTURES_CLEANUP tolvane_e2e_processes LABELS "e2e;wine")
