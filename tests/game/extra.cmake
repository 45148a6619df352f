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
  target_compile_options(${name} PRIVATE ${QZ_SJIS_FLAGS})
  qz_unit_test_optimisation(${name} ${label})
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/game/fake ${CMAKE_CURRENT_SOURCE_DIR}/support)
  target_link_libraries(${name} PRIVATE zarnovik_game GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS ${label} TIMEOUT 300)
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

# The game with the stand-in behaviours: the platform's entry over the game, plus the
# stand-ins installed before WinMain, which the link wraps. The REPLAY acceptance run plays it.
add_executable(zarnovik_standins ${CMAKE_SOURCE_DIR}/platform/entry/main.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/game/fake/StandIns.cpp ${CMAKE_CURRENT_SOURCE_DIR}/game/standins/InstallAtStart.cpp)
target_compile_options(zarnovik_standins PRIVATE ${QZ_SJIS_FLAGS})
target_include_directories(zarnovik_standins PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/game/fake)
target_link_libraries(zarnovik_standins PRIVATE zarnovik_game qzlib qzplatform)
target_link_options(zarnovik_standins PRIVATE -Wl,--wrap=WinMain)
if(TARGET game_game_tests)
  target_compile_definitions(game_game_tests PRIVATE QZ_ZARNOVIK_STANDINS="$<TARGET_FILE:zarnovik_standins>")
  add_dependencies(game_game_tests zarnovik_standins)
  # It also plays the recorded game headless, with the same stand-ins, to time its script.
  target_sources(game_game_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/game/fake/StandIns.cpp)
  target_include_directories(game_game_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/game/fake)
endif()
