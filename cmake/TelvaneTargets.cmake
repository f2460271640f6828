# Compiler settings applied per target, never globally.
include(GoogleTest)

function(telvane_target_options target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                                             -Wnon-virtual-dtor -Wno-missing-field-initializers)
    if(TELVANE_WERROR)
      target_compile_options(${target} PRIVATE -Werror)
    endif()
  endif()
  if(TELVANE_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=all)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    # Coverage hooks let the fuzz targets see inside the libraries; ordinary
    # programs get the sanitizer runtime's empty hooks.
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
      target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
    endif()
  endif()
endfunction()

# telvane_library(<folder> SOURCES ... DEPENDS ...) makes the static library
# telvane_<folder> with the alias telvane::<folder>.
function(telvane_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS;PRIVATE_DEPENDS" ${ARGN})
  add_library(telvane_${name} STATIC ${ARG_SOURCES})
  add_library(telvane::${name} ALIAS telvane_${name})
  target_include_directories(telvane_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(telvane_${name} PUBLIC ${ARG_DEPENDS} PRIVATE ${ARG_PRIVATE_DEPENDS})
  telvane_target_options(telvane_${name})
endfunction()

# A folder whose classes have not arrived yet still exists as a target, so the
# layering is in place before the code is.
function(telvane_empty_library name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  add_library(telvane_${name} INTERFACE)
  add_library(telvane::${name} ALIAS telvane_${name})
  target_link_libraries(telvane_${name} INTERFACE ${ARG_DEPENDS})
endfunction()

function(telvane_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS})
  telvane_target_options(${name})
endfunction()

# telvane_test(<name> [OWN_MAIN] SOURCES ... DEPENDS ...): one GoogleTest
# program per folder, registered with CTest test by test. Every test gets a
# fresh home. OWN_MAIN: the sources bring main(), e.g. to set up a desktop.
function(telvane_test name)
  cmake_parse_arguments(ARG "OWN_MAIN" "" "SOURCES;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} GTest::gtest GTest::gmock)
  if(NOT ARG_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${name} PRIVATE TELVANE_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
  telvane_target_options(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "ASAN_OPTIONS=halt_on_error=1:detect_leaks=1;UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1")
endfunction()
