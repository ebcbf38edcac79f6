# Warnings that our own targets build with; third-party headers come in as system includes.
# ZORVIK_WERROR makes them errors (CMake's own switch, so --compile-no-warning-as-error still works).
function(zorvik_warnings target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow)
  elseif(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  endif()
  set_target_properties(${target} PROPERTIES COMPILE_WARNING_AS_ERROR ${ZORVIK_WERROR})
endfunction()

# Test code is compiled for the build's speed, not its own: optimizing the large test functions
# took half the time of a build from a clean clone, which the test command makes twice. Line
# tables stay, for backtraces.
function(zorvik_quick_to_build target)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    target_compile_options(${target} PRIVATE -O0 -g1)
  endif()
endfunction()

# One QtTest executable per test file: zorvik_add_test(<folder>/tst_<Thing> LIBS ... [TIMEOUT s])
# builds tests/<folder>/tst_<Thing>.cpp as tst_<Thing>, registers it with ctest and runs it headless.
function(zorvik_add_test path)
  cmake_parse_arguments(ARG "" "TIMEOUT" "LIBS" ${ARGN})
  get_filename_component(name ${path} NAME)
  add_executable(${name} ${path}.cpp)
  target_link_libraries(${name} PRIVATE Qt6::Test zorvik_test_support ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE ZORVIK_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  zorvik_quick_to_build(${name})
  zorvik_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=qt.qpa.*=false")
endfunction()

# A test that runs one of the programs: it knows where the build put them and builds them first.
function(zorvik_test_uses_programs name)
  set(key_zorvikctl ZORVIK_CTL_PATH)
  set(key_zorvik-sim ZORVIK_SIM_PATH)
  set(key_zorvik-halden ZORVIK_HALDEN_PATH)
  foreach(program ${ARGN})
    target_compile_definitions(${name} PRIVATE ${key_${program}}="$<TARGET_FILE:${program}>")
    add_dependencies(${name} ${program})
  endforeach()
endfunction()
