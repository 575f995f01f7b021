# Checks of the two Windows builds as PE files: machine, subsystem, imports and manifest
# (check_pe.sh), and every resource against its definition (check_resources.py). The i686
# build is the one that ships; its size is printed in the test output.
find_package(Python3 REQUIRED COMPONENTS Interpreter)

foreach(build win32 win64)
  if(build STREQUAL "win32")
    set(pe_arch i686)
    set(pe_file ${WIN32_BUILD_DIR}/bootstrapper.exe)
  else()
    set(pe_arch x86_64)
    set(pe_file ${WIN64_BUILD_DIR}/bootstrapper.exe)
  endif()
  add_test(NAME pe.${build}.headers_and_imports
    COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check_pe.sh ${pe_arch} ${pe_file})
  add_test(NAME pe.${build}.resources
    COMMAND Python3::Interpreter ${CMAKE_CURRENT_LIST_DIR}/check_resources.py ${pe_file}
            ${CMAKE_SOURCE_DIR}/src/resources/messages.inc)
  set_tests_properties(pe.${build}.headers_and_imports pe.${build}.resources
    PROPERTIES LABELS pe)
endforeach()

# Two builds of the same sources give the same bytes: no time stamp, no build path.
add_test(NAME pe.win32.reproducible
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/check_reproducible.sh ${CMAKE_SOURCE_DIR}
          ${CMAKE_SOURCE_DIR}/cmake/toolchain-i686-w64-mingw32.cmake
          ${WIN32_BUILD_DIR}/bootstrapper.exe ${CMAKE_BINARY_DIR}/reproducible-win32)
set_tests_properties(pe.win32.reproducible PROPERTIES LABELS pe TIMEOUT 600)
