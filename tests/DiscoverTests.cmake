# Run by CTest before any test starts (tests/CMakeLists.txt includes it per program): lists
# the cases of one test program and declares its CTest tests.
#   grouped: one test per suite, its cases in one process, but for the suites of `isolated`
#   otherwise, and for those: one test per case, each in a process of its own.
# The declarations are written next to the program and remade when the program, its
# settings or this script are newer.
#
# Expects: program, settings (the file that sets these), working_dir, tests_file, grouped
# (ON/OFF), isolated (suite names), labels, timeout, environment, lock (a RESOURCE_LOCK or
# empty), cost (or empty).

cmake_policy(PUSH)
cmake_policy(VERSION 3.25)
if(NOT EXISTS "${tests_file}" OR "${program}" IS_NEWER_THAN "${tests_file}"
   OR "${settings}" IS_NEWER_THAN "${tests_file}" OR "${CMAKE_CURRENT_LIST_FILE}" IS_NEWER_THAN "${tests_file}")
  if(NOT EXISTS "${program}")
    message(FATAL_ERROR "The test program is not built: ${program}")
  endif()
  execute_process(COMMAND "${program}" --gtest_list_tests
                  WORKING_DIRECTORY "${working_dir}" TIMEOUT 60
                  OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "Listing the cases of ${program} failed (${failed}):\n${listing}")
  endif()

  # Test names are written as bracket arguments; none of ours holds "]==]".
  set(properties "LABELS [==[${labels}]==] TIMEOUT ${timeout} WORKING_DIRECTORY [==[${working_dir}]==]")
  string(APPEND properties " ENVIRONMENT [==[${environment}]==]")
  # A program whose cases passed but for some skipped ends with 77 (tests/main/TestMain.cpp).
  string(APPEND properties " SKIP_RETURN_CODE 77")
  if(lock)
    string(APPEND properties " RESOURCE_LOCK ${lock}")
  endif()
  if(cost)
    string(APPEND properties " COST ${cost}")
  endif()
  set(script "")
  macro(declare name filter)
    string(APPEND script "add_test([==[${name}]==] [==[${program}]==] [==[--gtest_filter=${filter}]==])\n"
                         "set_tests_properties([==[${name}]==] PROPERTIES ${properties})\n")
  endmacro()

  # "Suite." opens a suite ("Suite.  # TypeParam = ..." for a typed one); its cases follow
  # indented ("  Case  # GetParam() = ..." for a parameterized one).
  string(REPLACE "\n" ";" lines "${listing}")
  set(suite "")
  set(whole OFF)
  foreach(line IN LISTS lines)
    if(line MATCHES "^([^ #][^ ]*)\\.( .*)?$")
      set(suite "${CMAKE_MATCH_1}")
      set(whole OFF)
      if(grouped AND NOT suite IN_LIST isolated)
        set(whole ON)
        declare("${suite}.*" "${suite}.*")
      endif()
    elseif(line MATCHES "^  ([^ ]+)(  # GetParam\\(\\) = (.*))?$" AND suite)
      if(NOT whole)
        # A parameterized case is named by its value where the value is a plain word
        # ("WholeGame.Case/7" for stage 7, where GoogleTest counts "Case/6").
        set(case "${CMAKE_MATCH_1}")
        set(value "${CMAKE_MATCH_3}")
        set(name "${case}")
        if(value MATCHES "^[A-Za-z0-9_.+-]+$")
          string(REGEX REPLACE "/[0-9]+$" "/${value}" name "${case}")
        endif()
        declare("${suite}.${name}" "${suite}.${case}")
      endif()
    elseif(NOT line STREQUAL "")
      # A line not understood would leave cases undeclared: never silently.
      message(FATAL_ERROR "Unexpected line in the case list of ${program}: ${line}")
    endif()
  endforeach()
  file(WRITE "${tests_file}" "${script}")
endif()
include("${tests_file}")
cmake_policy(POP)
