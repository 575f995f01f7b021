# Scenarios that run the real program under Wine, as a person would (harness.py): the x86_64
# build natively, and the shipped i686 build as a WoW64 process (test_wow64.py, label wow64).
# Scenarios that run on a non-interactive window station, as deployment agents' session 0
# (test_session0.py and the *_service_station ones), also carry the label session0.
# Every scenario is a test of its own, with its own prefix, Xvfb and wineserver, so they
# run in parallel; the base prefix that they copy is made once by a fixture.
set(WINE_HARNESS_DIR ${CMAKE_CURRENT_LIST_DIR})
set(WINE_RUNNER /usr/bin/python3 ${WINE_HARNESS_DIR}/run_scenario.py
  --build-dir ${CMAKE_BINARY_DIR} --win64-dir ${WIN64_BUILD_DIR} --win32-dir ${WIN32_BUILD_DIR})

add_test(NAME wine.base_prefix COMMAND ${WINE_RUNNER} --make-base)
set_tests_properties(wine.base_prefix PROPERTIES
  FIXTURES_SETUP wine_base LABELS wine TIMEOUT 600)

# Scenarios are the functions "def test_...(" of the files test_*.py beside this one.
file(GLOB WINE_SCENARIO_FILES CONFIGURE_DEPENDS ${WINE_HARNESS_DIR}/test_*.py)
foreach(scenario_file ${WINE_SCENARIO_FILES})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${scenario_file})
  get_filename_component(module ${scenario_file} NAME_WE)
  file(STRINGS ${scenario_file} definitions REGEX "^def test_[A-Za-z0-9_]+\\(")
  foreach(definition ${definitions})
    string(REGEX REPLACE "^def (test_[A-Za-z0-9_]+)\\(.*" "\\1" function "${definition}")
    set(labels wine)
    if(module STREQUAL "test_wow64")
      list(APPEND labels wow64)
    endif()
    if(module STREQUAL "test_session0" OR function MATCHES "_service_station$")
      list(APPEND labels session0)
    endif()
    add_test(NAME wine.${module}.${function} COMMAND ${WINE_RUNNER} ${module}.${function})
    set_tests_properties(wine.${module}.${function} PROPERTIES
      FIXTURES_REQUIRED wine_base LABELS "${labels}" TIMEOUT 180)
  endforeach()
endforeach()

# Unpacks and runs the test-signed distribution that the release test makes.
set_tests_properties(wine.test_wow64.test_signed_distribution_installs PROPERTIES
  FIXTURES_REQUIRED "wine_base;release_distribution")
