# What the unit tests of every build share: a home of its own for each test
# program (support/private_home.h), the test main, and the recording fake
# platform. GTest::gtest must exist already.
add_library(tolvane_test_home INTERFACE)
target_include_directories(tolvane_test_home INTERFACE ${CMAKE_CURRENT_SOURCE_DIR}/support)
add_library(tolvane_test_main STATIC support/test_main.cpp)
target_link_libraries(tolvane_test_main PUBLIC tolvane_test_home GTest::gtest)

add_library(tolvane_fake STATIC fake/fake_platform.cpp)
target_include_directories(tolvane_fake PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(tolvane_fake PUBLIC tolvane_core)
