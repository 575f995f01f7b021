# Includes between the rooms of src/ run one way, downwards, and never in a circle.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_test(NAME layering.includes_run_downwards
  COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/check_layering.py ${CMAKE_SOURCE_DIR}/src)
set_tests_properties(layering.includes_run_downwards PROPERTIES LABELS layering)
