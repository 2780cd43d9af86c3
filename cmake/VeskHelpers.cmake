# vesk_add_test(NAME SOURCES a.cpp ... LIBS lib ...)
# One QtTest executable per test file, run headless under ctest.
function(vesk_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt5::Test ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  vesk_test_environment(${name} ${T_ENV})
endfunction()

# vesk_test_environment(NAME [VAR=value ...])
# What every test runs with: headless, the source folder, and in a sanitizer
# build the sanitizers' options, also for the programs a test starts.
function(vesk_test_environment name)
  get_property(sanitizer_env GLOBAL PROPERTY VESK_SANITIZER_ENV)
  set(env QT_QPA_PLATFORM=offscreen VESK_SOURCE_DIR=${PROJECT_SOURCE_DIR} ${sanitizer_env} ${ARGN})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 600)
endfunction()

# vesk_enable_sanitizers("address,undefined")
# Instruments everything configured after the call and sets the environment every
# test runs with, so ctest in that build behaves the same by hand as in CI.
function(vesk_enable_sanitizers list)
  if(NOT list OR list MATCHES "^(OFF|off|NO|no|FALSE|false|0)$")
    return()
  endif()
  if(list MATCHES "^(ON|on|YES|yes|TRUE|true|1)$")
    set(list "address,undefined")
  endif()
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    message(FATAL_ERROR "VESK_SANITIZE needs g++ or clang++")
  endif()
  # Every finding aborts the program, so it fails its test.
  add_compile_options(-fsanitize=${list} -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${list})
  set(env "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  if(list MATCHES "address")
    list(APPEND env
      # Full stacks for every allocation: Qt is built without frame pointers, and a
      # stack cut short at Qt's frames can neither be matched by a suppression nor
      # point at the code that leaked.
      "ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1:fast_unwind_on_malloc=0"
      "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan.supp:print_suppressions=0")
  endif()
  set_property(GLOBAL PROPERTY VESK_SANITIZER_ENV "${env}")
  message(STATUS "Sanitizers: ${list}")
endfunction()

# vesk_add_subfolders([EXCLUDE name ...])
# Adds every direct subfolder of the current folder that has a CMakeLists.txt.
function(vesk_add_subfolders)
  cmake_parse_arguments(S "" "" "EXCLUDE" ${ARGN})
  file(GLOB children LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT children)
  foreach(child ${children})
    if(child IN_LIST S_EXCLUDE)
      continue()
    endif()
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()

# vesk_add_plugin(NAME SOURCES a.cpp ... [LIBS lib ...] [OUTPUT_DIRECTORY dir])
# A plug-in library NAME.so (no "lib" prefix) with the contract compiled in. Only
# what the sources mark VESK_PLUGIN_EXPORT (getPlugin, direct-call functions) is
# exported; the rest, the static libraries linked in included, stays hidden, so two
# plug-ins never bind to each other's copies of the contract.
# Without OUTPUT_DIRECTORY the library is built into libs/ of the build tree,
# staged into the demo application's libs/ and installed with vesk.
function(vesk_add_plugin name)
  cmake_parse_arguments(P "" "OUTPUT_DIRECTORY" "SOURCES;LIBS" ${ARGN})
  add_library(${name} MODULE ${P_SOURCES})
  target_link_libraries(${name} PRIVATE veskplugin jsliteral Qt5::Core Qt5::Gui Qt5::Widgets Qt5::WebKit
                        Qt5::WebKitWidgets ${P_LIBS})
  set(out ${P_OUTPUT_DIRECTORY})
  if(NOT out)
    set(out ${PROJECT_BINARY_DIR}/libs)
  endif()
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${out}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT WIN32)
    target_link_options(${name} PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)
  endif()
  if(NOT P_OUTPUT_DIRECTORY)
    add_custom_command(TARGET ${name} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/examples/demo/libs
      COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${name}> ${PROJECT_BINARY_DIR}/examples/demo/libs/
      COMMENT "Staging ${name} into the demo's libs/")
    install(TARGETS ${name} LIBRARY DESTINATION ${VESK_INSTALL_PLUGINDIR})
  endif()
endfunction()

# vesk_add_fuzzer(NAME SOURCES a.cpp ... LIBS lib ... [INSTRUMENT lib ...])
# A libFuzzer executable under ASan and UBSan (clang only). INSTRUMENT names
# the project libraries whose code the fuzzer should get coverage from; their
# other users then link with the sanitizers too.
function(vesk_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS;INSTRUMENT" ${ARGN})
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "${name} needs clang (libFuzzer): configure with CC=clang CXX=clang++")
  endif()
  foreach(lib ${F_INSTRUMENT})
    target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    target_link_options(${lib} INTERFACE -fsanitize=address,undefined)
  endforeach()
  add_executable(${name} ${F_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${F_LIBS})
endfunction()
