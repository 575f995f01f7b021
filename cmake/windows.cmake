# Windows build (MinGW-w64): the bootstrapper as a GUI program with a Unicode entry point,
# a static runtime and resources compiled from UTF-8. It imports system DLLs only; msi.dll
# is loaded at run time from the system directory.
enable_language(RC)

# No exceptions, no RTTI, unused code dropped; see src/platform/win32/lean_runtime.h.
target_compile_options(core PUBLIC
  "$<$<COMPILE_LANGUAGE:CXX>:SHELL:-include ${CMAKE_SOURCE_DIR}/src/platform/win32/lean_runtime.h>"
  $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions> $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti>
  $<$<COMPILE_LANGUAGE:CXX>:-fno-asynchronous-unwind-tables>
  $<$<COMPILE_LANGUAGE:CXX>:-ffunction-sections> $<$<COMPILE_LANGUAGE:CXX>:-fdata-sections>)
# Size before speed: GCC's -Oz, and no inlining of small functions into their callers (the
# program spends its time waiting for its children, never in its own code). No IPA-SRA: its
# local clones of the string class's members (each translation unit has the class, see
# lean_runtime.h) are copies that the linker cannot fold, a dozen of _M_replace alone.
target_compile_options(core PUBLIC $<$<COMPILE_LANGUAGE:CXX>:-Oz>
  $<$<COMPILE_LANGUAGE:CXX>:-fno-inline-small-functions> $<$<COMPILE_LANGUAGE:CXX>:-fno-ipa-sra>)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # 32-bit Windows keeps the stack 4-byte aligned; the program uses no SSE that would need more.
  target_compile_options(core PUBLIC $<$<COMPILE_LANGUAGE:CXX>:-mpreferred-stack-boundary=2>)
endif()
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")

# The icon is drawn at build time, so the tree holds no binary files.
set(GENERATED_RESOURCE_DIR ${CMAKE_BINARY_DIR}/generated-resources)
set(ICON_FILE ${GENERATED_RESOURCE_DIR}/bootstrapper.ico)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(
  OUTPUT ${ICON_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${GENERATED_RESOURCE_DIR}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/src/resources/make_icon.py ${ICON_FILE}
  DEPENDS ${CMAKE_SOURCE_DIR}/src/resources/make_icon.py
  COMMENT "Drawing the program icon"
  VERBATIM)

set(RESOURCE_SCRIPT ${CMAKE_SOURCE_DIR}/src/resources/bootstrapper.rc)
set_source_files_properties(${RESOURCE_SCRIPT} PROPERTIES OBJECT_DEPENDS
  "${ICON_FILE};${CMAKE_SOURCE_DIR}/src/resources/bootstrapper.manifest;${CMAKE_SOURCE_DIR}/src/resources/messages.inc;${CMAKE_SOURCE_DIR}/src/resources/resource_ids.h")

# A release build carries the SHA-256 of every file that the release lays out for it
# (scripts/release.sh writes them), inside the signed file. Without it the program checks
# nothing, as a developer's build.
set(BOOT_RELEASE_MANIFEST "" CACHE FILEPATH "The release's manifest (release builds only)")
if(BOOT_RELEASE_MANIFEST)
  configure_file(${BOOT_RELEASE_MANIFEST} ${GENERATED_RESOURCE_DIR}/release-manifest.txt COPYONLY)
  set_property(SOURCE ${RESOURCE_SCRIPT} APPEND PROPERTY COMPILE_DEFINITIONS BOOT_RELEASE_MANIFEST)
  set_property(SOURCE ${RESOURCE_SCRIPT} APPEND PROPERTY OBJECT_DEPENDS
    ${GENERATED_RESOURCE_DIR}/release-manifest.txt)
endif()

file(GLOB WIN32_SOURCES CONFIGURE_DEPENDS src/platform/win32/*.cpp)
add_executable(bootstrapper WIN32 ${CMAKE_SOURCE_DIR}/src/main.cpp ${WIN32_SOURCES}
  ${RESOURCE_SCRIPT} ${ICON_FILE})
set_target_properties(bootstrapper PROPERTIES OUTPUT_NAME bootstrapper SUFFIX .exe)
target_include_directories(bootstrapper PRIVATE
  $<$<COMPILE_LANGUAGE:RC>:${CMAKE_SOURCE_DIR}/src/resources>
  $<$<COMPILE_LANGUAGE:RC>:${GENERATED_RESOURCE_DIR}>)
target_link_libraries(bootstrapper PRIVATE core shell32 advapi32 user32 kernel32)
target_compile_definitions(core PUBLIC UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
# -s: the shipped program carries no symbols (they more than double its size).
# --tsaware: on a Remote Desktop Session Host, Windows gives a program without the flag a
# per-user Windows folder, where wscript.exe is not.
target_link_options(bootstrapper PRIVATE -municode -mwindows -static -static-libgcc
  -static-libstdc++ -s -Wl,--gc-sections -Wl,--no-insert-timestamp -Wl,--tsaware)

# Small Windows programs that the tests run under Wine beside the bootstrapper.
include(${CMAKE_SOURCE_DIR}/tests/wine/tools.cmake OPTIONAL)
