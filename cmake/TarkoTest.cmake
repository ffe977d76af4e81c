# tarko_add_test(NAME SOURCES a.cpp ... LIBS lib ... [GUI])
# Every test is a Qt Test executable run through ctest. GUI tests run headless.
function(tarko_add_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_definitions(${name} PRIVATE
    TARKO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    TARKO_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  if(T_GUI)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()
