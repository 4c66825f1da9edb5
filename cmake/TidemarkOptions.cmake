# Project-wide compiler settings. Every target gets the warning set; the
# sanitizer build instruments everything except targets that opt out with
# tidemark_unsanitized() (the LD_PRELOAD shim, which is injected into
# programs that do not carry the sanitizer runtime).

set(TIDEMARK_WARNINGS -Wall -Wextra -Wpedantic -Wnon-virtual-dtor
    -Wcast-align -Wunused -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND TIDEMARK_WARNINGS -Wshadow=local)
endif()
if(TIDEMARK_WERROR)
  list(APPEND TIDEMARK_WARNINGS -Werror)
endif()
add_compile_options("$<$<COMPILE_LANGUAGE:CXX>:${TIDEMARK_WARNINGS}>")

if(TIDEMARK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Removes the sanitizer instrumentation from one target.
function(tidemark_unsanitized target)
  if(TIDEMARK_SANITIZE)
    target_compile_options(${target} PRIVATE -fno-sanitize=all)
    target_link_options(${target} PRIVATE -fno-sanitize=all)
  endif()
endfunction()

# tidemark_gtest(NAME name SOURCES a.cpp ... LIBS lib ... [LABELS l ...] [TIMEOUT s]
#                [ENVIRONMENT VAR=value ...])
# One GoogleTest program; each test case becomes its own ctest entry.
find_package(GTest)
include(GoogleTest)
function(tidemark_gtest)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${T_NAME} PRIVATE
    TIDEMARK_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TIDEMARK_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT ${T_TIMEOUT})
  # gtest_discover_tests flattens list-valued properties, so labels and the
  # environment are set by a script that ctest runs after the discovery.
  set(props ${CMAKE_CURRENT_BINARY_DIR}/${T_NAME}_properties.cmake)
  file(WRITE ${props} "if(${T_NAME}_TESTS)\n  set_tests_properties(\${${T_NAME}_TESTS} PROPERTIES\n")
  if(T_LABELS)
    file(APPEND ${props} "    LABELS [==[${T_LABELS}]==]\n")
  endif()
  if(T_ENVIRONMENT)
    file(APPEND ${props} "    ENVIRONMENT [==[${T_ENVIRONMENT}]==]\n")
  endif()
  file(APPEND ${props} "    TIMEOUT ${T_TIMEOUT})\nendif()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${props})
endfunction()

if(TIDEMARK_FUZZ)
  # Coverage instrumentation for the libraries the fuzz targets link.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
