# Windows build (MinGW-w64): the bootstrapper as a GUI program with a Unicode entry point,
# a static runtime and resources compiled from UTF-8.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

file(GLOB WIN32_SOURCES CONFIGURE_DEPENDS src/platform/win32/*.cpp)
file(GLOB RESOURCE_SCRIPTS CONFIGURE_DEPENDS src/resources/*.rc)
add_executable(bootstrapper WIN32 ${WIN32_SOURCES} ${RESOURCE_SCRIPTS})
target_link_libraries(bootstrapper PRIVATE core)
target_compile_definitions(core PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_options(bootstrapper PRIVATE -municode -mwindows -static -static-libgcc
  -static-libstdc++ -Wl,--no-insert-timestamp)

# Small Windows programs that the tests run under Wine beside the bootstrapper.
include(${CMAKE_SOURCE_DIR}/tests/wine/tools.cmake OPTIONAL)
