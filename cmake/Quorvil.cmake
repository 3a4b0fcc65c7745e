# Flags come from interface targets that every library links, never from
# global compiler flags.
add_library(quorvil_warnings INTERFACE)
target_compile_options(quorvil_warnings INTERFACE
  -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
  -Wformat=2 -Wcast-align -Wimplicit-fallthrough
  $<$<CXX_COMPILER_ID:Clang>:-Wthread-safety>
  $<$<CXX_COMPILER_ID:GNU>:-Wduplicated-cond -Wlogical-op>)

# GCC's sign-conversion check leans on its value-range analysis, which the
# sanitizers' instrumentation defeats: there it flags byte arithmetic that
# the ordinary build proves non-negative. The ordinary build keeps it.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT QUORVIL_SANITIZE)
  target_compile_options(quorvil_warnings INTERFACE -Wsign-conversion)
endif()

# GCC 12 at -O3 reports overlapping copies inside libstdc++'s own
# std::string concatenation (fixed in GCC 13); the check stays on elsewhere.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(quorvil_warnings INTERFACE -Wno-restrict)
endif()

add_library(quorvil_sanitizers INTERFACE)
if(QUORVIL_SANITIZE)
  string(REPLACE ";" "," _san "${QUORVIL_SANITIZE}")
  target_compile_options(quorvil_sanitizers INTERFACE
    -fsanitize=${_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(quorvil_sanitizers INTERFACE -fsanitize=${_san})
endif()

add_library(quorvil_fuzzing INTERFACE)
if(QUORVIL_FUZZ)
  target_compile_options(quorvil_fuzzing INTERFACE -fsanitize=fuzzer-no-link,address,undefined)
  target_link_options(quorvil_fuzzing INTERFACE -fsanitize=address,undefined)
endif()

# The programs allocate through tcmalloc (Debian libgoogle-perftools-dev):
# libevtx makes and frees a dozen small values per record, and glibc's
# allocator took a third of an .evtx scan. Sanitizer and fuzz builds keep
# their own allocator.
add_library(quorvil_allocator INTERFACE)
if(NOT QUORVIL_SANITIZE AND NOT QUORVIL_FUZZ)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(TCMALLOC REQUIRED IMPORTED_TARGET GLOBAL libtcmalloc_minimal)
  target_link_libraries(quorvil_allocator INTERFACE PkgConfig::TCMALLOC)
endif()

add_library(quorvil_flags INTERFACE)
target_link_libraries(quorvil_flags INTERFACE quorvil_warnings quorvil_sanitizers quorvil_fuzzing)

# quorvil_library(NAME SOURCES ... [PUBLIC deps] [PRIVATE deps])
# One static library per folder; headers are included as "folder/file.h"
# from the project root.
function(quorvil_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC;PRIVATE" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/include)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE quorvil_flags ${ARG_PRIVATE})
endfunction()

# quorvil_test(NAME [OWN_MAIN] SOURCES ... LIBS ... [LABELS ...] [ENVIRONMENT A=1 ...])
# One test executable per library; tests labelled "thread" also run under
# ThreadSanitizer in CI.
add_custom_target(all_tests)
add_custom_target(thread_tests)
function(quorvil_test name)
  cmake_parse_arguments(ARG "OWN_MAIN" "" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/isolated_env.cpp)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quorvil_flags GTest::gtest GTest::gmock)
  if(NOT ARG_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set(_env QUORVIL_SOURCE_DIR=${PROJECT_SOURCE_DIR} QUORVIL_BINARY_DIR=${PROJECT_BINARY_DIR} ${ARG_ENVIRONMENT})
  set_tests_properties(${name} PROPERTIES
    LABELS "${ARG_LABELS}"
    TIMEOUT 300
    ENVIRONMENT "${_env}")
  add_dependencies(all_tests ${name})
  if("thread" IN_LIST ARG_LABELS)
    add_dependencies(thread_tests ${name})
  endif()
endfunction()

# quorvil_fuzzer(NAME SOURCES ... LIBS ...)
function(quorvil_fuzzer name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quorvil_flags)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fuzz)
endfunction()

configure_file(${PROJECT_SOURCE_DIR}/cmake/version.h.in ${PROJECT_BINARY_DIR}/include/quorvil_version.h @ONLY)

# quorvil_bench(NAME SOURCES ... LIBS ...): a Google Benchmark executable in
# <build>/bench.
function(quorvil_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quorvil_flags quorvil_allocator
                        benchmark::benchmark)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
endfunction()

# quorvil_ui_test(NAME SOURCES ... LIBS ...): a widget test, run with Qt's
# offscreen platform inside a QApplication (tests/ui/support/qtest_main.cpp).
function(quorvil_ui_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  quorvil_test(${name} OWN_MAIN
    SOURCES ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/ui/support/qtest_main.cpp
    LIBS ${ARG_LIBS} Qt6::Test
    LABELS ui ${ARG_LABELS}
    ENVIRONMENT QT_QPA_PLATFORM=offscreen)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/ui/support)
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
endfunction()
