# The game's rules without the library: programs linking the game's code and a recording
# fake of the entry points (tests/game/fake), never qzlib.
set(QZ_RULES_FAKE ${CMAKE_CURRENT_SOURCE_DIR}/game/fake/FakeApi.cpp ${CMAKE_CURRENT_SOURCE_DIR}/game/fake/StandIns.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/support/TempDir.cpp)
function(qz_rules_test_executable name label)
  file(GLOB sources CONFIGURE_DEPENDS ${ARGN})
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources} ${QZ_RULES_FAKE})
  # The fake defines the entry points themselves, at global scope: it compiles alone.
  qz_unity_test_program(${name})
  set_source_files_properties(${QZ_RULES_FAKE} PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
  qz_fixed_address_program(${name})
  target_compile_options(${name} PRIVATE ${QZ_SJIS_FLAGS})
  qz_unit_test_optimisation(${name} ${label})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/game/fake ${CMAKE_CURRENT_SOURCE_DIR}/support)
  target_link_libraries(${name} PRIVATE zarnovik_game qztest_main)
  qz_discover_tests(${name} LABEL ${label})
endfunction()
qz_rules_test_executable(game_rules_tests unit ${CMAKE_CURRENT_SOURCE_DIR}/game/rules/*.cpp)
qz_rules_test_executable(game_replay_tests game ${CMAKE_CURRENT_SOURCE_DIR}/game/replay/*.cpp)
qz_rules_test_executable(game_enemy_tests unit ${CMAKE_CURRENT_SOURCE_DIR}/game/enemies/*.cpp)

# The acceptance runs, headless and in a window, start the game as a process of its own.
foreach(program game_game_tests game_window_tests)
  if(TARGET ${program})
    target_compile_definitions(${program} PRIVATE QZ_ZARNOVIK="$<TARGET_FILE:zarnovik>")
    add_dependencies(${program} zarnovik)
  endif()
endforeach()
# The record-and-REPLAY case also plays its game in the optimized executable (the plain
# build's, in scripts/test): its frames must hash alike in both, which the whole games
# played only in the optimized build rely on. This build's own executable where unset.
set(QZ_OPTIMIZED_ZARNOVIK "" CACHE FILEPATH "The game built optimized without sanitizers, for the cross-build replay")
if(TARGET game_game_tests)
  if(QZ_OPTIMIZED_ZARNOVIK)
    target_compile_definitions(game_game_tests PRIVATE QZ_OPTIMIZED_ZARNOVIK="${QZ_OPTIMIZED_ZARNOVIK}")
  else()
    target_compile_definitions(game_game_tests PRIVATE QZ_OPTIMIZED_ZARNOVIK="$<TARGET_FILE:zarnovik>")
  endif()
endif()

