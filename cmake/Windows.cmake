# The Qt-free half for Windows: korvantix-check.exe with the D2XX back end,
# test_core.exe (the core tests that need neither Qt nor POSIX calls), and a
# stand-in ftd2xx.dll with the simulated tracker behind it for the tests.
# The window stays a Linux program for now.

add_executable(korvantix-check ${CMAKE_SOURCE_DIR}/src/check/main.cpp)
target_link_libraries(korvantix-check PRIVATE ktx_results)

# The stand-in D2XX driver: the same simulated tracker the tests use, behind
# the DLL's exports, so the check goes through LoadLibrary and GetProcAddress.
add_library(fake_ftd2xx SHARED ${CMAKE_SOURCE_DIR}/tests/windows/FakeFtd2xx.cpp)
target_link_libraries(fake_ftd2xx PRIVATE ktx_sim)
set_target_properties(fake_ftd2xx PROPERTIES OUTPUT_NAME ftd2xx PREFIX "" UNITY_BUILD OFF)

include(CTest)
if(BUILD_TESTING)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # The core tests that use neither Qt, POSIX calls nor libftdi (those stay
  # with the Linux build), and the Windows platform files' own tests.
  file(GLOB candidates CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*/*.cpp)
  list(FILTER candidates EXCLUDE REGEX "/tests/(support|usb|app|windows|results)/|TabTest\\.cpp$")
  set(KTX_WINDOWS_TEST_SOURCES)
  foreach(source ${candidates})
    file(READ ${source} text)
    if(NOT text MATCHES "#include [<\"](Q|fcntl|unistd|sys/|support/(LocaleScope|Widgets|FifoRelease))|mkfifo|open_memstream|LibFtdiDriver")
      list(APPEND KTX_WINDOWS_TEST_SOURCES ${source})
    endif()
  endforeach()
  file(GLOB KTX_WINDOWS_PLATFORM_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/windows/*Test.cpp)
  add_executable(test_core ${KTX_WINDOWS_TEST_SOURCES} ${KTX_WINDOWS_PLATFORM_TESTS}
    ${CMAKE_SOURCE_DIR}/tests/support/ScriptedDriver.cpp ${CMAKE_SOURCE_DIR}/tests/windows/core_main.cpp)
  target_include_directories(test_core PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(test_core PRIVATE ktx_check GTest::gtest)
  ktx_test_code(test_core gtest fake_ftd2xx)
  # Wine reads the source tree's schemas through its Z: drive, the root.
  target_compile_definitions(test_core PRIVATE KTX_SCHEMA_DIR="${CMAKE_SOURCE_DIR}/schema")
endif()
