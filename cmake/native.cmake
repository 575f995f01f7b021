# Native build: the core's unit tests against the simulated Windows, and the checks
# that drive the Windows builds (PE inspection, the real program under Wine). With
# BOOT_SANITIZE the same tests run under AddressSanitizer and UBSan, with the fuzzers.
enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)

file(GLOB SIMULATION_SOURCES CONFIGURE_DEPENDS tests/support/*.cpp)
add_library(simulated_windows STATIC ${SIMULATION_SOURCES})
target_include_directories(simulated_windows PUBLIC tests)
find_package(OpenSSL REQUIRED)
target_link_libraries(simulated_windows PUBLIC core GTest::gtest OpenSSL::Crypto)

file(GLOB UNIT_TEST_SOURCES CONFIGURE_DEPENDS tests/unit/*.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES})
target_link_libraries(unit_tests PRIVATE simulated_windows GTest::gtest GTest::gtest_main)
gtest_discover_tests(unit_tests DISCOVERY_MODE PRE_TEST)

if(BOOT_SANITIZE)
  include(${CMAKE_SOURCE_DIR}/tests/fuzz/fuzz.cmake)
  return()
endif()

set(WIN32_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/win32" CACHE PATH "i686 build tree")
set(WIN64_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/win64" CACHE PATH "x86_64 build tree")
file(GLOB EXTRA_TEST_LISTS CONFIGURE_DEPENDS tests/*/tests.cmake)
foreach(list ${EXTRA_TEST_LISTS})
  include(${list})
endforeach()
