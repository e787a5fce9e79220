# The format check: clang-format over the C++ sources of the tree at SOURCE_DIR, with its
# .clang-format. In a git checkout, the files git tracks; elsewhere (a source tarball), those found
# in the tree, less build output and hidden folders. Finding none fails, as it would check nothing.
cmake_minimum_required(VERSION 3.25)
file(REAL_PATH "${SOURCE_DIR}" root)
execute_process(COMMAND git rev-parse --show-toplevel WORKING_DIRECTORY "${root}" RESULT_VARIABLE no_git
                OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(no_git EQUAL 0 AND top STREQUAL root)
  execute_process(COMMAND git -c core.quotePath=off ls-files -- *.cpp *.h WORKING_DIRECTORY "${root}"
                  OUTPUT_VARIABLE sources COMMAND_ERROR_IS_FATAL ANY)
  string(REPLACE "\n" ";" sources "${sources}")
else()
  file(GLOB_RECURSE sources RELATIVE "${root}" "${root}/*.cpp" "${root}/*.h")
  list(FILTER sources EXCLUDE REGEX "^(build|out|dist)/|(^|/)\\.")
endif()
list(FILTER sources EXCLUDE REGEX "^$")
if(NOT sources)
  message(FATAL_ERROR "format: no C++ sources found in ${root}")
endif()
execute_process(COMMAND clang-format --dry-run -Werror ${sources} WORKING_DIRECTORY "${root}" RESULT_VARIABLE failed)
if(NOT failed EQUAL 0)
  message(FATAL_ERROR "format: the lines above are not as .clang-format says (clang-format: ${failed})")
endif()
