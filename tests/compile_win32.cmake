# Compiles every file under platform/win32/ with the mingw-w64 compiler,
# syntax and types only. Fails on the first file that does not compile.
file(GLOB_RECURSE files ${SRC}/platform/win32/*.cpp)
list(LENGTH files count)
if(count EQUAL 0)
  message(FATAL_ERROR "no files under platform/win32")
endif()
foreach(f ${files})
  execute_process(
    COMMAND ${CXX} -std=c++20 -fsyntax-only -fexec-charset=GB18030 -Wall -I${SRC} ${f}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${f} does not compile for Windows:\n${out}${err}")
  endif()
  message(STATUS "compiles for Windows: ${f}")
endforeach()
