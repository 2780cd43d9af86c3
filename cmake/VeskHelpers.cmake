# vesk_add_test(NAME SOURCES a.cpp ... LIBS lib ...)
# One QtTest executable per test file, run headless under ctest.
function(vesk_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt5::Test ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VESK_SOURCE_DIR=${PROJECT_SOURCE_DIR};${T_ENV}"
    TIMEOUT 600)
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
