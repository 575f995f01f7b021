# The release command with throwaway certificates: a test-signed distribution, a releaser's
# certificate, and each kind of bad input. The test-signed distribution it leaves in
# release-test/out is what the WoW64 scenario test_signed_distribution_installs unpacks.
add_test(NAME release.distribution
  COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/check_release.py
          --build-dir ${CMAKE_BINARY_DIR} --win32-dir ${WIN32_BUILD_DIR}
          --win64-dir ${WIN64_BUILD_DIR})
set_tests_properties(release.distribution PROPERTIES
  FIXTURES_SETUP release_distribution LABELS release TIMEOUT 600)
