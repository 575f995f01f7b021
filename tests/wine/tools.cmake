# Windows tools for the tests that run the real program under Wine. They are x86_64
# programs and drive either build of the program; the i686 tree builds only what must match
# the program's own architecture. Included at the end of windows.cmake.
set(WINE_TOOLS_DIR ${CMAKE_CURRENT_LIST_DIR}/tools)
set(WINE_TOOLS_OUTPUT ${CMAKE_BINARY_DIR}/wine-tools)

# A DLL named msi.dll for the planting test; in a folder of its own, so that no tool of
# ours ever finds it beside itself. A module: no import library that could stand in for
# the system's libmsi.
add_library(planted_msi MODULE ${WINE_TOOLS_DIR}/planted_msi.c)
target_link_options(planted_msi PRIVATE -static-libgcc)
set_target_properties(planted_msi PROPERTIES PREFIX "" OUTPUT_NAME msi
  LIBRARY_OUTPUT_DIRECTORY ${WINE_TOOLS_OUTPUT}/planted)
# The same, named as a helper DLL that an installer loads by bare name from its own folder.
add_library(planted_csphook MODULE ${WINE_TOOLS_DIR}/planted_msi.c)
target_link_options(planted_csphook PRIVATE -static-libgcc)
set_target_properties(planted_csphook PROPERTIES PREFIX "" OUTPUT_NAME csphook
  LIBRARY_OUTPUT_DIRECTORY ${WINE_TOOLS_OUTPUT}/planted)

# The benchmark's floor: the least a bootstrapper of this design does before msiexec, in
# the architecture of the program it is measured against.
add_executable(floor ${WINE_TOOLS_DIR}/floor.c)
target_compile_definitions(floor PRIVATE UNICODE _UNICODE)
target_link_libraries(floor PRIVATE shell32)
target_link_options(floor PRIVATE -municode -mwindows -static -static-libgcc)
set_target_properties(floor PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${WINE_TOOLS_OUTPUT})

if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
  return()
endif()

add_library(wine_tool_io STATIC ${WINE_TOOLS_DIR}/tool_io.c ${WINE_TOOLS_DIR}/json_text.c)
target_compile_definitions(wine_tool_io PUBLIC UNICODE _UNICODE)

# name, "console" or "window", sources...
function(add_wine_tool name subsystem)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE wine_tool_io)
  target_link_options(${name} PRIVATE -municode -m${subsystem} -static -static-libgcc)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${WINE_TOOLS_OUTPUT})
endfunction()

add_wine_tool(run_exit console ${WINE_TOOLS_DIR}/run_exit.c)
add_wine_tool(box_driver console ${WINE_TOOLS_DIR}/box_driver.c
  ${WINE_TOOLS_DIR}/window_probe.c ${WINE_TOOLS_DIR}/target_processes.c)
add_wine_tool(msi_query console ${WINE_TOOLS_DIR}/msi_query.c)
target_link_libraries(msi_query PRIVATE msi)
add_wine_tool(box_demo windows ${WINE_TOOLS_DIR}/box_demo.c)
add_wine_tool(fake_setup windows ${WINE_TOOLS_DIR}/fake_setup.c)

add_library(ca_result SHARED ${WINE_TOOLS_DIR}/ca_result.c)
target_link_libraries(ca_result PRIVATE msi)
target_link_options(ca_result PRIVATE -static-libgcc -Wl,--kill-at)
set_target_properties(ca_result PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${WINE_TOOLS_OUTPUT})

