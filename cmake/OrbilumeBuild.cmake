# Compiler settings shared by every target of the project.

find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
  set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()

# RTTI is off everywhere (tests derive from product classes, whose type info is never emitted).
add_compile_options(-fno-rtti -Wall -Wextra)
# GCC 12 reports impossible overlaps in inlined std::string concatenation at -O2 (fixed in 13).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()
if(ORBILUME_WERROR)
  add_compile_options(-Werror)
endif()

if(ORBILUME_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize=vptr -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
if(ORBILUME_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Product code: no exceptions.
function(orbilume_product_target target)
  target_compile_options(${target} PRIVATE -fno-exceptions)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()

# One test executable per test folder: orbilume_add_test(NAME n LABELS l... SOURCES s... [LIBS lib...])
function(orbilume_add_test)
  cmake_parse_arguments(T "" "NAME" "LABELS;SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} orbilume-test-support GTest::gtest GTest::gmock)
  if("gl" IN_LIST T_LABELS)
    # GL tests keep Mesa's threads alive at exit, where LeakSanitizer's tracer can crash.
    add_test(NAME ${T_NAME} COMMAND ${PROJECT_SOURCE_DIR}/tests/support/lsan-tracer-retry
             $<TARGET_FILE:${T_NAME}>)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
endfunction()

if(ORBILUME_LIBFUZZER)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# A test that runs inside a private network namespace (tests/support/netns-run); it skips when the
# system refuses the namespace. VETH adds a veth pair into a second private namespace.
#   orbilume_add_net_test(NAME n [VETH] LABELS l... SOURCES s... [LIBS lib...])
function(orbilume_add_net_test)
  cmake_parse_arguments(T "VETH" "NAME" "LABELS;SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} orbilume-test-support GTest::gtest GTest::gmock)
  set(wrapper ${PROJECT_SOURCE_DIR}/tests/support/netns-run)
  if(T_VETH)
    list(APPEND wrapper --veth)
  endif()
  if("gl" IN_LIST T_LABELS)
    list(APPEND wrapper ${PROJECT_SOURCE_DIR}/tests/support/lsan-tracer-retry)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${wrapper} $<TARGET_FILE:${T_NAME}>)
  set_tests_properties(${T_NAME} PROPERTIES LABELS "net;${T_LABELS}" SKIP_RETURN_CODE 77
                       ENVIRONMENT "ORBILUME_NO_REALTIME=1")
endfunction()
