# Native build: the core's unit tests against the simulated Windows, and the checks
# that drive the Windows builds (PE inspection, the real program under Wine).
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS tests/unit/*.cpp tests/support/*.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES})
target_include_directories(unit_tests PRIVATE tests)
target_link_libraries(unit_tests PRIVATE core GTest::gtest GTest::gtest_main)
gtest_discover_tests(unit_tests DISCOVERY_MODE PRE_TEST)

set(WIN32_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/win32" CACHE PATH "i686 build tree")
set(WIN64_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/win64" CACHE PATH "x86_64 build tree")
file(GLOB EXTRA_TEST_LISTS CONFIGURE_DEPENDS tests/*/tests.cmake)
foreach(list ${EXTRA_TEST_LISTS})
  include(${list})
endforeach()
