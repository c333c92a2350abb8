# One CMake library per core module; dependencies only point down, and no core target links Qt.

set(TORVANE_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
# GCC 12's optimiser sees overlapping copies inside libstdc++'s own std::string code wherever a
# short text is assigned or prepended ("[" + name) once it inlines enough, as it does at -O3: a
# known false alarm of that release (GCC bug 105329), fixed in GCC 13, with nothing to mend in
# the calling code.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  list(APPEND TORVANE_WARNINGS -Wno-restrict)
endif()
if(TORVANE_WERROR)
  list(APPEND TORVANE_WARNINGS -Werror)
endif()

if(TORVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# torvane_add_library(NAME SOURCES ... [DEPENDS ...])
function(torvane_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE ${TORVANE_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
endfunction()

# torvane_add_executable(NAME SOURCES ... [DEPENDS ...])
function(torvane_add_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE ${TORVANE_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS})
endfunction()

# torvane_add_test(NAME SOURCES ... [DEPENDS ...] [LABELS ...] [FIXTURES ...] [OWN_MAIN])
# One GoogleTest executable per module; every test case becomes a CTest test. FIXTURES names
# CTest fixtures the cases need (test_media: the generated clips). OWN_MAIN: the sources bring
# their own main (the window tests start a QApplication first).
function(torvane_add_test name)
  cmake_parse_arguments(ARG "OWN_MAIN" "" "SOURCES;DEPENDS;LABELS;FIXTURES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_compile_options(${name} PRIVATE ${TORVANE_WARNINGS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} torvane_test_support GTest::gtest)
  if(NOT ARG_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${name} PRIVATE
    TORVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TORVANE_BUILD_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS "${ARG_LABELS}" FIXTURES_REQUIRED "${ARG_FIXTURES}")
endfunction()

# Installed programs live with their data in <prefix>/lib/torvane; <prefix>/bin holds links.
set(TORVANE_PROGRAM_DIR lib/torvane)
function(torvane_install_link program)
  install(CODE "
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    file(CREATE_LINK \"../${TORVANE_PROGRAM_DIR}/${program}\"
         \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${program}\" SYMBOLIC)")
endfunction()
