# The Windows build's third-party code, from Debian's packages of it: the
# JSON library's headers (the cross compiler must not see the rest of
# /usr/include) and GoogleTest built from its sources.
set(KTX_JSON_HEADERS /usr/include/nlohmann)
if(NOT EXISTS ${KTX_JSON_HEADERS}/json.hpp)
  message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev")
endif()
file(COPY ${KTX_JSON_HEADERS} DESTINATION ${CMAKE_BINARY_DIR}/third-party/include)
add_library(nlohmann_json INTERFACE)
target_include_directories(nlohmann_json SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/third-party/include)
add_library(nlohmann_json::nlohmann_json ALIAS nlohmann_json)

# gmtime_r and localtime_r, as the C runtime's reentrant gmtime_s and
# localtime_s (mingw-w64's time.h maps them when asked).
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS=200112L)
# M_PI and the other constants of math.h, which strict C++ leaves out there.
add_compile_definitions(_USE_MATH_DEFINES)
# printf and scanf as C99 has them (%zu, %lld, %hhu), not the old runtime's.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)
# GCC 12 warns of overlapping copies inside std::string that cannot happen
# (its -Wrestrict false positive); the Linux build's GCC says nothing.
add_compile_options(-Wno-restrict)
# timegm (UTC broken-down time to time_t) is _mkgmtime in the C runtime.
add_compile_definitions(timegm=_mkgmtime)
